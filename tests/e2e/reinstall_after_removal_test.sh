#!/usr/bin/env bash
# A deployment script removes the app silently and installs it again at once,
# with no pause: the removal's delayed command, which runs while the new
# install is already under way, leaves the new installation's uninstaller in
# place.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
check_eq "the first install exits 0" 0 "$rc"
quiet=$(reg_value "$uninstall_key" QuietUninstallString || true)
rc=0; run_command_line "$quiet" || rc=$?
check_eq "the silent removal exits 0" 0 "$rc"
rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
check_eq "the install right after it exits 0" 0 "$rc"
poll 10 interpreter_ended
check "the removal's delayed command has ended" interpreter_ended

dir=$(install_dir)
check "uninstall.exe is there" test -f "$dir/uninstall.exe"
check "equal to the setup" cmp -s "$VESTRANA_SETUP" "$dir/uninstall.exe"
check "beside the application" test -f "$dir/vestrana.exe" -a -f "$dir/WebView2Loader.dll"
check_eq "the entry's UninstallString names it" "\"$(install_dir_win)\\uninstall.exe\" --uninstall" \
  "$(reg_value "$uninstall_key" UninstallString || true)"
check_eq "no temporary uninstaller copy is left" "" "$(uninstaller_copies "$(temp_dir)")"
finish
