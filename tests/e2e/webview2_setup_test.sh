#!/usr/bin/env bash
# Without a registered WebView2 runtime the setup downloads the bootstrapper
# (here from a local web server, through the test build of the setup), runs
# it with /silent /install and waits for it. The install succeeds only when
# the bootstrapper succeeds and the runtime is then registered; a failed
# download or a failing bootstrapper ends it with exit code 1 after the
# app's files were written. The downloaded file and the folder made for it
# never stay behind. The stand-in bootstrappers are signed as the vendor,
# under the test root that the test build accepts.
source "$(dirname "$0")/lib.sh"
new_prefix
source "$(dirname "$0")/signing.sh"

take_download_port

server_log="$WINEPREFIX/web-server.log"
server_pid=
start_server() {
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "$web" 2>>"$server_log" >/dev/null &
  server_pid=$!
  exit_actions+=("kill $server_pid 2>/dev/null")
  poll 10 curl -sf -o /dev/null "http://127.0.0.1:$port$url_path"
}
serves() { # the file the server hands out for the download address
  curl -sf "http://127.0.0.1:$port$url_path" | cmp -s - "$1" && running "$server_pid"
}

check "a vendor certificate is made" new_signer vendor "Microsoft Corporation"
bootstrapper="$certs/webview2-setup.exe"
failing_bootstrapper="$certs/webview2-setup-fails.exe"
check "the bootstrappers are signed" eval 'sign_as vendor "$VESTRANA_FAKE_WEBVIEW2_SETUP" "$bootstrapper" &&
  sign_as vendor "$VESTRANA_FAKE_WEBVIEW2_SETUP_FAILS" "$failing_bootstrapper"'
no_download_left() { [ -z "$(find "$(temp_dir)" -maxdepth 1 -name 'vestrana-*' -print -quit)" ]; }
bootstrapper_log="$WINEPREFIX/drive_c/webview2-setup.log"
dir=$(install_dir)
installed_files() { test -f "$dir/vestrana.exe" && test -f "$dir/WebView2Loader.dll" && test -f "$dir/uninstall.exe"; }
not_registered() { ! reg_value "$uninstall_key" DisplayVersion >/dev/null; }

# The placeholder version counts as not installed.
reg_add "$client_key" /v pv /t REG_SZ /d 0.0.0.0

# 1. Nothing answers at the download address.
check "nothing answers on port $port" eval '! curl -s -o /dev/null "http://127.0.0.1:$port/"'
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "a failed download exits 1" 1 "$rc"
check "the app's files are in place" installed_files
check "no uninstall entry is written" not_registered
check "no Start-menu shortcut is made" test ! -e "$(programs_dir)/vestrana.lnk"
check "nothing of the download is left" no_download_left
check "no bootstrapper ran" test ! -e "$bootstrapper_log"

# 2. The server answers the download address with "404 Not Found". The
#    transfer of the error page may count as a success, but what it saved is
#    no program: the install fails all the same and the page is removed.
cp "$failing_bootstrapper" "$web/fwlink/p/index.html"
check "the server is up" start_server
mv "$web/fwlink" "$web/gone"
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "an error page instead of the bootstrapper exits 1" 1 "$rc"
check "the server answered 404" grep -qF "\"GET $url_path HTTP/1.1\" 404" "$server_log"
check "no bootstrapper ran" test ! -e "$bootstrapper_log"
check "the saved page is removed" no_download_left
mv "$web/gone" "$web/fwlink"

# 3. The bootstrapper registers the runtime but reports failure.
check "the server hands out the failing bootstrapper" serves "$failing_bootstrapper"
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "a failing bootstrapper makes the install exit 1" 1 "$rc"
check "the setup asked for the fixed download address" grep -qF "\"GET $url_path HTTP/1.1\" 200" "$server_log"
check_eq "the bootstrapper ran once, with /silent /install" "/silent /install" "$(tr -d '\r' <"$bootstrapper_log" 2>/dev/null)"
check_eq "it registered the runtime" 120.0.0.1 "$(reg_value "$client_key" pv || true)"
check "the app's files are in place" installed_files
check "still no uninstall entry" not_registered
check "the download is removed" no_download_left

# 4. The bootstrapper succeeds.
reg_add "$client_key" /v pv /t REG_SZ /d ""
cp "$bootstrapper" "$web/fwlink/p/index.html"
check "the server hands out the working bootstrapper" serves "$bootstrapper"
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "with the runtime set up the install exits 0" 0 "$rc"
check_eq "the bootstrapper ran again" 2 "$(grep -c '^/silent /install' "$bootstrapper_log" 2>/dev/null || true)"
check_eq "the runtime is registered" 120.0.0.1 "$(reg_value "$client_key" pv || true)"
check_eq "the uninstall entry is written" "$VESTRANA_VERSION" "$(reg_value "$uninstall_key" DisplayVersion || true)"
check "the Start-menu shortcut is made" test -f "$(programs_dir)/vestrana.lnk"
check "the download is removed" no_download_left

# 5. With the runtime registered nothing is downloaded.
requests=$(grep -c "GET $url_path" "$server_log" || true)
rc=0; run_wine "$VESTRANA_SETUP_LOCALWEB" --silent || rc=$?
check_eq "a reinstall exits 0" 0 "$rc"
check_eq "and downloads nothing" "$requests" "$(grep -c "GET $url_path" "$server_log" || true)"
finish
