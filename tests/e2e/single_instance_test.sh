#!/usr/bin/env bash
# While another setup holds the single-instance lock, a new one ends at once
# with exit code 1 and installs nothing.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

ready="$WINEPREFIX/drive_c/lock-held"
wine "$VESTRANA_HOLD_LOCK" 'C:\lock-held' >/dev/null 2>&1 &
poll 10 test -e "$ready"
check "the lock is held" test -e "$ready"

expect_silent_run 1 "a second setup exits 1"
check "and installs nothing" test ! -e "$(install_dir)/vestrana.exe"
finish
