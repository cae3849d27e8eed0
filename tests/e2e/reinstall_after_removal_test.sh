#!/usr/bin/env bash
# A deployment script removes the app silently and installs it again at once,
# with no pause, five times: the removal's cleanup helper, which may still
# run while the new install is under way, never takes the new installation's
# folder or uninstaller, so every install succeeds with a complete folder.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

dir=$(install_dir)
expect_silent_run 0 "the first install exits 0"
for round in 1 2 3 4 5; do
  quiet=$(reg_value "$uninstall_key" QuietUninstallString || true)
  rc=0; run_command_line "$quiet" || rc=$?
  check_eq "round $round: the silent removal exits 0" 0 "$rc"
  expect_silent_run 0 "round $round: the install right after it exits 0"
  check_eq "round $round: the folder is complete" "$(printf '%s\n' WebView2Loader.dll uninstall.exe vestrana.exe)" \
    "$(ls "$dir" 2>/dev/null | LC_ALL=C sort)"
done
helpers_done() { cleanup_ended && [ -z "$(uninstaller_copies "$(temp_dir)")" ]; }
poll 10 helpers_done
check "every cleanup helper has ended" cleanup_ended

check "uninstall.exe is there" test -f "$dir/uninstall.exe"
check "equal to the setup" cmp -s "$VESTRANA_SETUP" "$dir/uninstall.exe"
check "beside the application" test -f "$dir/vestrana.exe" -a -f "$dir/WebView2Loader.dll"
check_eq "the entry's UninstallString names it" "\"$(install_dir_win)\\uninstall.exe\" --uninstall" \
  "$(reg_value "$uninstall_key" UninstallString || true)"
check_eq "nothing of ours is left in the temporary folder" "" "$(uninstaller_copies "$(temp_dir)")"
finish
