#!/usr/bin/env bash
# Folders that are not ours stay as they are.
#
# An uninstall entry that names another program's folder (holding files
# named like ours, one of them running as "vestrana.exe"), the same folder
# in the verbatim form, or a network share: a silent update installs into
# the default folder and a silent removal removes that one, and the named
# folder keeps every file byte for byte, its program keeps running.
#
# A removal started from a folder that holds no installation: Downloads,
# with the setup copied in next to someone else's "uninstall.exe" and a
# library named like ours. With nothing installed, a silent run and a
# question closed with Escape leave that folder as it was once the delayed
# command has run; with vestrana installed, the same run removes that
# installation and still touches nothing in Downloads. A relative --dir
# means the folder relative to where the removal was started, for every
# stage alike.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

dir=$(install_dir)
temp=$(temp_dir)
# Every file below a folder with its SHA-256.
state_of() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }
# The delayed command has run: it deleted the temporary copy and ended.
delayed_command_done() { [ -z "$(uninstaller_copies "$temp")" ] && cleanup_ended; }
wait_for_delayed_command() {
  poll 10 delayed_command_done && return 0
  return 1
}
installed_app() { cmp -s "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"; }
entry_gone() { reg_key_gone "$uninstall_key"; }

# Another program's folder with files named like ours and its own.
plant_other_program() { # Unix folder
  mkdir -p "$1"
  cp "$VESTRANA_BUILD/standin/vestrana.exe" "$1/vestrana.exe"
  echo "the other program's loader" >"$1/WebView2Loader.dll"
  echo "the other program's uninstaller" >"$1/uninstall.exe"
  echo "the other program's data" >"$1/data.bin"
}

other_win="$(local_appdata_win)\\Other"
other=$(unix_path "$other_win")
plant_other_program "$other"
plant_other_program "$other/vestrana"
# Wine reaches \\server\share through the prefix's "unc" device folder.
mkdir -p "$WINEPREFIX/dosdevices/unc/fileserver"
plant_other_program "$(local_appdata)/Shared/vestrana"
ln -s "$(local_appdata)/Shared" "$WINEPREFIX/dosdevices/unc/fileserver/share"
check "the network share reaches its folder under Wine" \
  run_wine cmd /c "type \\\\fileserver\\share\\vestrana\\data.bin"

expect_silent_run 0 "the first install exits 0"
start_app "$other_win\\vestrana.exe"
other_app=$app_pid

# Entry location as recorded, and the Unix folder behind it.
for entry in "$other_win|$other" \
  "\\\\?\\$other_win\\vestrana|$other/vestrana" \
  "\\\\fileserver\\share\\vestrana|$(local_appdata)/Shared/vestrana"; do
  location=${entry%%|*} holder=${entry#*|}
  before=$(state_of "$holder")

  reg_add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$location"
  expect_silent_run 0 "an update with the entry naming $location exits 0"
  check "it installed into the default folder" installed_app
  check_eq "the entry now records the default folder" "$(install_dir_win)" \
    "$(reg_value "$uninstall_key" InstallLocation)"
  check_eq "every file in $location is intact after the update" "$before" "$(state_of "$holder")"
  check "the program running from the other folder still runs after the update" running "$other_app"

  reg_add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$location"
  rc=0; run_command_line "$(reg_value "$uninstall_key" QuietUninstallString)" || rc=$?
  check_eq "a removal with the entry naming $location exits 0" 0 "$rc"
  check "it removed the entry" entry_gone
  check "and the default folder" wait_for_final_cleanup "$dir" "$temp"
  check "and the Start-menu shortcut" test ! -e "$(programs_dir)/vestrana.lnk"
  check_eq "every file in $location is intact after the removal" "$before" "$(state_of "$holder")"
  check "the program running from the other folder still runs after the removal" running "$other_app"

  expect_silent_run 0 "the reinstall exits 0"
done
rc=0; run_command_line "$(reg_value "$uninstall_key" QuietUninstallString)" || rc=$?
check_eq "the removal of the last reinstall exits 0" 0 "$rc"
check "which is complete" wait_for_final_cleanup "$dir" "$temp"

downloads_win="C:\\users\\$(wine_user)\\Downloads"
downloads=$(unix_path "$downloads_win")
mkdir -p "$downloads"
cp "$VESTRANA_SETUP" "$downloads/vestrana-setup.exe"
echo "someone else's uninstaller" >"$downloads/uninstall.exe"
echo "someone else's library" >"$downloads/WebView2Loader.dll"
setup_win="$downloads_win\\vestrana-setup.exe"
before=$(state_of "$downloads")

rc=0; run_wine "$setup_win" --uninstall --silent || rc=$?
check_eq "a silent removal with nothing installed exits 0" 0 "$rc"
check "its delayed command runs" wait_for_delayed_command
check_eq "Downloads stays as it was" "$before" "$(state_of "$downloads")"

launch "$setup_win" --uninstall
win=$(open_window 'Remove vestrana') || { check "the question window appears" false; exit 1; }
press_key "$win" Escape
check "Escape closes the question" window_gone "$win" 10
check "its delayed command runs" wait_for_delayed_command
check_eq "Downloads stays as it was after the closed question" "$before" "$(state_of "$downloads")"

expect_silent_run 0 "the install exits 0"
rc=0; run_wine "$setup_win" --uninstall --silent || rc=$?
check_eq "the removal from Downloads exits 0" 0 "$rc"
check "it removed the entry" entry_gone
check "and the installation, folder included" wait_for_final_cleanup "$dir" "$temp"
check "and the Start-menu shortcut" test ! -e "$(programs_dir)/vestrana.lnk"
check_eq "Downloads stays as it was after removing the installation" "$before" "$(state_of "$downloads")"

# Relative --dir, started in the local application data folder: the copy is
# handed the absolute folder.
expect_silent_run 0 "the reinstall exits 0"
(cd "$(local_appdata)" && wine "$setup_win" --uninstall --silent --dir vestrana >/dev/null 2>&1) &
removal=$!
copy_command=
copy_started() {
  local pid
  pid=$(prefix_pids 'vestrana-uninstall-[0-9]+\.exe --uninstall' | head -n1)
  [ -n "$pid" ] && copy_command=$(tr '\0' ' ' <"/proc/$pid/cmdline")
}
poll 10 copy_started
rc=0; wait "$removal" || rc=$?
check_eq "the removal with a relative folder exits 0" 0 "$rc"
check_eq "its copy works on the absolute folder" "--dir $(install_dir_win) --after" \
  "$(grep -o -- '--dir .* --after' <<<"$copy_command")"
check "which is removed" wait_for_final_cleanup "$dir" "$temp"
check_eq "Downloads stays as it was in the end" "$before" "$(state_of "$downloads")"
finish
