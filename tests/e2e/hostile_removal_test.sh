#!/usr/bin/env bash
# Files and folders as real machines have them: a setup started from a
# folder nested past 260 characters installs; and a windowed
# removal with "Also delete sign-in and settings" leaves nothing behind,
# although the user data holds read-only files and folders and a file
# nested past 300 characters, and the install folder holds a read-only
# program and the read-only leftover "vestrana.new" of an interrupted run,
# and the app's WebView2 lockfile is held without delete sharing for 6 s
# after the removal has begun (its browser processes shutting down).
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

preview "$shots/question-on.png" --screen welcome --mode remove --clock 10 --since 10 \
  --options 1 --anim 1 --hover toggle0
preview "$shots/done.png" --screen 'done' --mode remove --clock 10 --since 10

dir=$(install_dir)
temp=$(temp_dir)
local_data="$(local_appdata)/com.vestrana.desktop"
roaming_data="$(roaming_appdata)/com.vestrana.desktop"
segment='a-folder-name-that-is-thirty-two'
deep_win='C:\deep'
for _ in $(seq 1 9); do deep_win+="\\$segment"; done
deep=$(unix_path "$deep_win")
check "the deep folder's path is longer than 300 characters (${#deep_win})" test "${#deep_win}" -gt 300

mkdir -p "$deep"
cp "$VESTRANA_SETUP" "$deep/vestrana-setup.exe"
rc=0; run_wine "$deep_win\\vestrana-setup.exe" --silent || rc=$?
check_eq "the setup started from the deep folder exits 0" 0 "$rc"
check "it installed the app" cmp -s "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"
check "it copied itself as the uninstaller" cmp -s "$VESTRANA_SETUP" "$dir/uninstall.exe"

# What a removal meets on a machine in use (Wine takes a file without write
# permission as read-only).
nested=$local_data/EBWebView
for _ in $(seq 1 9); do nested+="/$segment"; done
mkdir -p "$nested" "$roaming_data/Local Storage"
echo deep >"$nested/Preferences"
echo secret >"$local_data/EBWebView/Login Data"
echo '{"signedIn":true}' >"$roaming_data/settings.json"
echo log >"$roaming_data/Local Storage/LOG"
chmod a-w "$local_data/EBWebView/Login Data" "$roaming_data/settings.json" "$roaming_data/Local Storage/LOG" \
  "$roaming_data/Local Storage"
echo half >"$dir/vestrana.new"
chmod a-w "$dir/vestrana.new" "$dir/vestrana.exe"

# The removal deletes the installed program just before the user data.
echo lock >"$local_data/EBWebView/lockfile"
rm -f "$WINEPREFIX/drive_c/held"
wine "$VESTRANA_HOLD_FILE" "$(local_appdata_win)\com.vestrana.desktop\EBWebView\lockfile" 'C:\held' \
  "-$(install_dir_win)\vestrana.exe" 6000 >/dev/null 2>&1 &
holder=$!
check "the holder holds the lockfile" poll 10 test -e "$WINEPREFIX/drive_c/held"

command=$(reg_value "$uninstall_key" UninstallString || true)
rc=0; run_command_line "$command" || rc=$?
check_eq "the uninstall command exits 0" 0 "$rc"
win=$(open_window 'Remove vestrana') || { check "the question window appears" false; exit 1; }
option='Also delete sign-in and settings'
click_child "$option" "$win"
check "\"$option\" is ticked" wait_state "$option" checked
check "and shows ticked" wait_for_look "$win" "$shots/question-on.png" 5 footer
click_child Remove "$win"
check "the removal ends on the done screen" wait_for_look "$win" "$shots/done.png" 20 title header subtitle footer
click_child Close "$win"
check "Close closes the window" window_gone "$win" 10
check "the delayed clean-up finishes" wait_for_final_cleanup "$dir" "$temp"
check "the install folder is gone" test ! -e "$dir"
check "the local user data folder is gone" test ! -e "$local_data"
check "the roaming user data folder is gone" test ! -e "$roaming_data"
wait "$holder" || true
finish
