#!/usr/bin/env bash
# A user whose local application data folder has blanks, non-ASCII letters
# and the characters a command interpreter would read (% & ! ^) in its
# path: the silent install puts the app there and records the exact path in
# the entry and the shortcuts, and the silent removal through the entry's
# quiet command ends the app and removes everything, the folder included,
# without any process's command line holding the ping-then-delete idiom.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

# Move the user's local application data folder: the shell's folder keys
# give the known folder, the volatile environment gives LOCALAPPDATA.
local_appdata_win_override='C:\users\Zoë Ölmez 100% R&D!^\AppData\Local'
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
reg_add "$shell_folders\\User Shell Folders" /v 'Local AppData' /t REG_EXPAND_SZ /d "$local_appdata_win_override"
reg_add "$shell_folders\\Shell Folders" /v 'Local AppData' /t REG_SZ /d "$local_appdata_win_override"
reg_add 'HKCU\Volatile Environment' /v LOCALAPPDATA /t REG_SZ /d "$local_appdata_win_override"
mkdir -p "$(local_appdata)"
dir=$(install_dir)
win=$(install_dir_win)
temp=$(temp_dir)

expect_silent_run 0 "the install exits 0"
check_eq "the files are in the moved folder" "$(printf '%s\n' WebView2Loader.dll uninstall.exe vestrana.exe)" \
  "$(ls "$dir" 2>/dev/null | LC_ALL=C sort)"
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "nothing is installed in the old place" test ! -e "$WINEPREFIX/drive_c/users/$(wine_user)/AppData/Local/vestrana"

# Read through an export of the key: the exact UTF-16 texts as stored.
entry=$(reg_strings "$uninstall_key" || true)
value() { printf '%s\n' "$entry" | pick_value "$1" || echo "(missing)"; }
check_eq "InstallLocation" "$win" "$(value InstallLocation)"
check_eq "DisplayIcon" "$win\\vestrana.exe" "$(value DisplayIcon)"
check_eq "UninstallString" "\"$win\\uninstall.exe\" --uninstall" "$(value UninstallString)"
check_eq "QuietUninstallString" "\"$win\\uninstall.exe\" --uninstall --silent" "$(value QuietUninstallString)"
link=$(printf '%s\t%s\t%s,0\tvestrana' "$win\\vestrana.exe" "$win" "$win\\vestrana.exe")
check_eq "both shortcuts start the app in the moved folder" \
  "$(printf '%s\n%s' "$link" "$link")" "$(read_shortcuts "$(programs_link_win)" "$(desktop_link_win)" || true)"

start_app "$win\\vestrana.exe"; in_install=$app_pid
reg_add 'HKCU\Software\vestrana\vestrana\Session' /v token /t REG_SZ /d secret
quiet=$(value QuietUninstallString)
start_sampling "$WINEPREFIX/command-lines.txt"
rc=0; run_command_line "$quiet" || rc=$?
check_eq "the quiet uninstall command exits 0" 0 "$rc"
check "the entry is gone" reg_key_gone "$uninstall_key"
check "the app running from the install folder was ended" ended "$in_install"
check "the cleanup helper finishes" wait_for_final_cleanup "$dir" "$temp"
stop_sampling
check "the sampling saw the removal's copy" grep -q -- '--from-temp' "$sample_file"
check "no command line held ping or del" no_ping_del "$sample_file"
check "the install folder is gone" test ! -e "$dir"
check_eq "no temporary uninstaller copy is left" "" "$(uninstaller_copies "$temp")"
check "the shortcuts are gone" test ! -e "$(programs_dir)/vestrana.lnk" -a ! -e "$(desktop_dir)/vestrana.lnk"
check "the app's keys are gone, the publisher key with them" reg_key_gone "HKCU\Software\vestrana"
check "the sign-in and settings folder in the moved place stays" test -d "$(local_appdata)/com.vestrana.desktop"
finish
