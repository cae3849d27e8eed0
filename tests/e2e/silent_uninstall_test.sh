#!/usr/bin/env bash
# A silent removal run the way the list of installed programs runs it: the
# entry's QuietUninstallString as one command line. It returns 0 only after
# the removal itself has finished, ends the app running from the install
# folder (and only that one), within its paced minimum (1.85 s) and about a
# second, and once the cleanup helper has run nothing of the installation
# is left: no files, no folder, no shortcuts, no autostart value, no entry,
# no app keys, nothing of ours in the temporary folder.
# The user's sign-in and settings folders stay, and so does a key of
# another product under the shared publisher key.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

silent_install "the install exits 0"
temp=$(temp_dir)

# What an installed, used app leaves besides the installation itself.
reg_add "$run_key" /v vestrana /t REG_SZ /d "\"$win\\vestrana.exe\" --background"
reg_add 'HKCU\Software\vestrana\vestrana\Session' /v token /t REG_SZ /d secret
reg_add 'HKCU\Software\vestrana\other' /v kept /t REG_SZ /d yes
elsewhere=$(unix_path 'C:\elsewhere')
mkdir -p "$elsewhere"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$elsewhere/"
start_app "$win\\vestrana.exe"; in_install=$app_pid
start_app 'C:\elsewhere\vestrana.exe'; in_elsewhere=$app_pid
local_data="$(local_appdata)/com.vestrana.desktop"
roaming_data="$(roaming_appdata)/com.vestrana.desktop"
mkdir -p "$local_data/EBWebView/Default" "$roaming_data"
echo "cookie" >"$local_data/EBWebView/Default/Cookies"
echo '{"signedIn":true}' >"$roaming_data/settings.json"
user_data() { (cd "$local_data" && find . -type f -exec sha256sum {} + | sort; cd "$roaming_data" && find . -type f -exec sha256sum {} + | sort); }
data_before=$(user_data)
check "the user data holds the app's start log, a cookie and the settings" \
  eval '[ "$(printf "%s\n" "$data_before" | wc -l)" -eq 3 ]'
check "both shortcuts exist before" test -f "$(programs_dir)/vestrana.lnk" -a -f "$(desktop_dir)/vestrana.lnk"

quiet=$(reg_value "$uninstall_key" QuietUninstallString || true)
start_sampling "$WINEPREFIX/command-lines.txt"
started=$(now)
rc=0; run_command_line "$quiet" || rc=$?
took=$(seconds_since "$started")
echo "     (the silent removal took $took s)"
check_eq "the quiet uninstall command exits 0" 0 "$rc"
check "it returned within 3 s" at_least 3 "$took"
# Right when the command returns, the removal (the second stage) is over.
check "the entry is already gone" reg_key_gone "$uninstall_key"
check_eq "no temporary uninstaller copy is still running" "" \
  "$(prefix_pids 'vestrana-uninstall-[0-9]+\.exe --uninstall')"
check "the app running from the install folder was ended" ended "$in_install"
check "the app running from another folder keeps running" running "$in_elsewhere"

# The helper deletes the uninstaller, the temporary copy and the folder
# once the first two stages have ended.
check "the cleanup helper finishes" wait_for_final_cleanup "$dir" "$temp"
echo "     (removal and cleanup took $(seconds_since "$started") s)"
stop_sampling
check "no command line held ping or del" no_ping_del "$sample_file"
check "the install folder is gone" test ! -e "$dir"
check_eq "no temporary uninstaller copy is left" "" "$(uninstaller_copies "$temp")"
check "the Start-menu shortcut is gone" test ! -e "$(programs_dir)/vestrana.lnk"
check "the desktop shortcut is gone" test ! -e "$(desktop_dir)/vestrana.lnk"
check "the autostart value is gone" eval '! reg_value "$run_key" vestrana >/dev/null'
check "the app's key is gone" reg_key_gone "HKCU\Software\vestrana\vestrana"
check_eq "the other product's key under the publisher key stays" yes \
  "$(reg_value 'HKCU\Software\vestrana\other' kept || true)"
check "Wine's list of installed programs no longer shows vestrana" \
  eval '! wine uninstaller --list 2>/dev/null | grep -qF "vestrana|||"'
check_eq "the sign-in and settings folders stay with their content" "$data_before" "$(user_data)"

# A removal of what is already removed still succeeds.
rc=0; run_wine "$VESTRANA_SETUP" --uninstall --silent --dir "$win" || rc=$?
check_eq "a second removal exits 0" 0 "$rc"
check "and brings nothing back" eval '[ ! -e "$dir" ] && reg_key_gone "$uninstall_key"'
finish
