#!/usr/bin/env bash
# Safe to run from Downloads: a library of ours that only leaves a mark when
# it is loaded lies in Downloads beside the setup and in the temporary
# folder, under the name of every library that the setup or the system
# libraries it uses load by name. A silent install from Downloads, with a
# registered runtime and with the download of the bootstrapper, the window
# opened from there and closed, and a silent removal (whose copy runs from
# the temporary folder) all work and none of them loads any of them.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display

names=(dwmapi oleacc urlmon iertutil wininet uxtheme version cryptbase cryptsp wintrust crypt32 propsys userenv
  winmm dbghelp secur32)
marker="$WINEPREFIX/drive_c/planted-dll-loaded.log"
downloads="$WINEPREFIX/drive_c/users/$(wine_user)/Downloads"
downloads_win="C:\\users\\$(wine_user)\\Downloads"
mkdir -p "$downloads"
# Whether no planted library was loaded; prints the ones that were.
none_loaded() {
  [ ! -e "$marker" ] && return 0
  sed 's/^/     loaded: /' "$marker"
  rm -f "$marker"
  return 1
}

# The mark works: the library leaves it as soon as anything loads it.
check "the planted library leaves its mark when it is loaded" \
  eval 'run_wine regsvr32 /s "$(winepath -w "$VESTRANA_PLANTED_DLL" 2>/dev/null)"; test -e "$marker"'
rm -f "$marker"

for name in "${names[@]}"; do
  cp "$VESTRANA_PLANTED_DLL" "$downloads/$name.dll"
  cp "$VESTRANA_PLANTED_DLL" "$(temp_dir)/$name.dll"
done
cp "$VESTRANA_SETUP" "$downloads/vestrana-setup.exe"
cp "$VESTRANA_SETUP_LOCALWEB" "$downloads/vestrana-setup-localweb.exe"
# Started from Downloads as Explorer starts it: that is its current folder too.
cd "$downloads"

# 1. Silent install with the runtime registered.
seed_webview2
rc=0; run_wine "$downloads_win\\vestrana-setup.exe" --silent || rc=$?
check_eq "a silent install from Downloads exits 0" 0 "$rc"
check "it installed the app" test -f "$(install_dir)/vestrana.exe"
check "it loaded no planted library" none_loaded

# 2. The window, opened from Downloads and closed.
launch "$downloads_win\\vestrana-setup.exe"
if win=$(open_window 'vestrana Setup'); then
  check "the window opens" true
  press_key "$win" alt+F4
  check "and closes" window_gone "$win" 10
else
  check "the window opens" false
fi
wait_exit "$launch_pid" 20
check "the window loaded no planted library" none_loaded

# 3. Silent removal: the installed uninstaller hands over to its copy in the
#    temporary folder, where the planted libraries lie too.
rc=0; run_wine "$(install_dir_win)\\uninstall.exe" --uninstall --silent || rc=$?
check_eq "the silent removal exits 0" 0 "$rc"
check "the install folder and the copy are gone in the end" wait_for_final_cleanup "$(install_dir)" "$(temp_dir)"
check "the removal loaded no planted library" none_loaded

# 4. Without a runtime: the bootstrapper is downloaded (urlmon, WinINet and
#    what they load), from a local server through the test build. Whether
#    the install then succeeds depends on what is served; only the loads
#    matter here.
take_download_port
cp "$VESTRANA_FAKE_WEBVIEW2_SETUP" "$web/fwlink/p/index.html"
server_log="$WINEPREFIX/web-server.log"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$web" 2>>"$server_log" >/dev/null &
server_pid=$!
exit_actions+=("kill $server_pid 2>/dev/null")
poll 10 curl -sf -o /dev/null "http://127.0.0.1:$port$url_path"
: >"$server_log"
reg_add 'HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}' /v pv /t REG_SZ /d 0.0.0.0
run_wine "$downloads_win\\vestrana-setup-localweb.exe" --silent || true
check "the setup asked for the bootstrapper" grep -qF "GET $url_path" "$server_log"
check "the download loaded no planted library" none_loaded
finish
