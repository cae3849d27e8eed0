#!/usr/bin/env bash
# A setup whose packed app is damaged, in the window: the error screen with
# the reader's own text, Ctrl+C copying its heading and the whole error,
# "Try again" running the install again with its bar back at the start, and
# "Close" ending the setup.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

# The text the setup's own reader gives for this archive.
message=$("$VESTRANA_BUILD/host/tools/pack/vestrana-pack" --list "$VESTRANA_BUILD/packed_app_damaged.xz" 2>&1 >/dev/null) || true
check "the reader calls the archive damaged" eval '[[ "$message" == "the packed app is damaged ("*")" ]]'
preview "$shots/error.png" --screen error --mode install --error "$message" --clock 10 --since 10
preview "$shots/progress.png" --screen progress --mode install --clock 10 --since 10

launch "$VESTRANA_SETUP_DAMAGED"
win=$(open_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
click_child Install "$win"
check "Install ends on the error screen with the damaged-archive text" \
  wait_for_look "$win" "$shots/error.png" 8 title header subtitle footer

# Ctrl+C copies the heading and the whole error, as Windows' message boxes
# do; the clipboard is polled until it holds text.
press_key "$win" ctrl+c
copied=
for _ in $(seq 1 50); do
  copied=$(wine "$VESTRANA_READ_CLIPBOARD" 2>/dev/null) && break
  sleep 0.1
done
# Wine hands text between two programs through the X selection, which turns
# a CR LF into CR CR LF on the way back; Windows gives the bytes as put.
copied=${copied//$'\r\r\n'/$'\r\n'}
check_eq "Ctrl+C puts the heading and the whole error on the clipboard" $'That did not work.\r\n'"$message" "$copied"

# Try again: the first capture of the progress screen shows the bar at its
# start, not where the failed attempt left it (past 60 %).
click_child 'Try again' "$win"
check "Try again shows the progress screen" wait_for_look "$win" "$shots/progress.png" 3 title
fill=$(bar_fill "$shots/last.png")
check "the bar starts again from 0 (fill $fill of 544 pixels)" eval '[ "$fill" -ge 8 ] && [ "$fill" -lt 100 ]'
check "the second attempt fails the same way" wait_for_look "$win" "$shots/error.png" 8 title header subtitle footer
click_child Close "$win"
check "Close closes the window" window_gone "$win" 10
wait_exit "$launch_pid" 10
check_eq "the setup exits with 0" 0 "$exit_code"
check "no application file was written" test ! -e "$(install_dir)/vestrana.exe"
finish
