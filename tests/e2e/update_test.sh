#!/usr/bin/env bash
# An update over an installation whose uninstall entry names another folder:
# the app's copies running from either folder are ended with their browser
# processes, one running from any other place and its browser processes are not; the earlier folder loses exactly the three
# installed files; shortcut and autostart follow the earlier choices. Before
# that, an update whose files cannot be written leaves the earlier
# installation untouched.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

install_dirs
old_win='C:\old\vestrana'
old=$(unix_path "$old_win")
third_win='C:\third\vestrana'
third=$(unix_path "$third_win")

# The earlier installation, as an older setup left it, plus a file of the user's.
mkdir -p "$old" "$third"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$VESTRANA_BUILD/standin/WebView2Loader.dll" "$old/"
cp "$VESTRANA_SETUP" "$old/uninstall.exe"
echo "keep me" >"$old/notes.txt"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$third/"
reg_add "$uninstall_key" /v DisplayName /t REG_SZ /d vestrana
reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
reg_add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$old_win"
reg_add "$uninstall_key" /v UninstallString /t REG_SZ /d "\"$old_win\\uninstall.exe\" --uninstall"
reg_add "$run_key" /v vestrana /t REG_SZ /d "\"$old_win\\vestrana.exe\" --background"
reg_add 'HKCU\Software\vestrana\vestrana\Settings' /v theme /t REG_SZ /d dark
old_state=$(cd "$old" && sha256sum * | sort)

# 1. The install folder's place is taken by a file: the update fails in the
#    copying step and nothing of the earlier installation changes.
mkdir -p "$(dirname "$dir")"
echo "in the way" >"$dir"
expect_silent_run 1 "an update that cannot write its files exits 1"
check_eq "the earlier folder is untouched" "$old_state" "$(cd "$old" && sha256sum * | sort)"
check_eq "the entry still names the earlier folder" "$old_win" "$(reg_value "$uninstall_key" InstallLocation || true)"
check_eq "the entry still has the earlier version" 1.1.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"
check "no Start-menu shortcut was made" test ! -e "$(programs_dir)/vestrana.lnk"
rm "$dir"

# 2. The real update, with the app running from four places.
mkdir -p "$dir"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestranax.exe"
# The copies in the install folder and in the third folder each have a
# browser process with a child of its own, as WebView2 starts them.
webview_win='C:\webview\msedgewebview2.exe'
other_webview_win='C:\webview-other\msedgewebview2.exe'
for program in "$webview_win" "$other_webview_win"; do
  mkdir -p "$(dirname "$(unix_path "$program")")"
  cp "$VESTRANA_BUILD/standin/vestrana.exe" "$(unix_path "$program")"
done
# The browser processes started from C:\<folder>, by their program name.
browsers() { prefix_pids '^"?C:\\'"$1"'\\msedgewebview2\.exe'; }
start_app "$win\\vestrana.exe" --browser "$webview_win"; in_new=$app_pid
start_app "$old_win\\vestrana.exe" --background; in_old=$app_pid
start_app "$third_win\\vestrana.exe" --browser "$other_webview_win"; in_third=$app_pid
start_app "$win\\vestranax.exe"; other_name=$app_pid
check "the four copies run" eval 'running $in_new && running $in_old && running $in_third && running $other_name'
two_browsers() { [ "$(browsers "$1" | wc -l)" -eq 2 ]; }
check "both copies' browser processes run" eval 'poll 10 two_browsers webview && poll 10 two_browsers webview-other'

expect_silent_run 0 "the update exits 0"
check "the copy in the install folder was ended" ended "$in_new"
check "the copy in the earlier folder was ended" ended "$in_old"
check "a copy in a third folder keeps running" running "$in_third"
check "a program whose name only begins with vestrana keeps running" running "$other_name"
no_browsers() { [ -z "$(browsers webview)" ]; }
check "the app's browser process and its child were ended" poll 3 no_browsers
check "those of the copy in the third folder keep running" two_browsers webview-other

check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "uninstall.exe is a copy of the setup" cmp -s "$dir/uninstall.exe" "$VESTRANA_SETUP"
check "WebView2Loader.dll is installed" test -f "$dir/WebView2Loader.dll"
check_eq "the earlier folder keeps only the user's file" notes.txt "$(ls "$old")"
check_eq "whose content is unchanged" "keep me" "$(cat "$old/notes.txt")"
check "the third folder is untouched" test -f "$third/vestrana.exe"

entry=$(reg_values "$uninstall_key" || true)
value() { printf '%s\n' "$entry" | pick_value "$1" | cut -f2 || echo "(missing)"; }
check_eq "the entry names the new folder" "$win" "$(value InstallLocation)"
check_eq "the entry has the new version" "$VESTRANA_VERSION" "$(value DisplayVersion)"
check_eq "the entry's uninstall command is the new one" "\"$win\\uninstall.exe\" --uninstall" "$(value UninstallString)"
check_eq "autostart stays on and starts the new program" "\"$win\\vestrana.exe\" --background" \
  "$(reg_value "$run_key" vestrana || true)"
check "without a desktop shortcut before there is none after" test ! -e "$(desktop_dir)/vestrana.lnk"
check "the Start-menu shortcut is made" test -f "$(programs_dir)/vestrana.lnk"
check "the app's old settings key is removed" reg_key_gone "HKCU\Software\vestrana"
finish
