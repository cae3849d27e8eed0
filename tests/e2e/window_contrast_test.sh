#!/usr/bin/env bash
# High contrast under Wine: the prefix gets the system colours of a black
# high-contrast scheme, and the test build that takes high contrast as on
# (Wine never reports it) paints its welcome and done screens exactly as the
# preview does with the same colours.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

colours='HKCU\Control Panel\Colors'
reg_add "$colours" /v Window /t REG_SZ /d '0 0 0'
reg_add "$colours" /v WindowText /t REG_SZ /d '255 255 255'
reg_add "$colours" /v Hilight /t REG_SZ /d '26 235 255'
reg_add "$colours" /v HilightText /t REG_SZ /d '0 0 0'
reg_add "$colours" /v ButtonFace /t REG_SZ /d '0 0 0'
reg_add "$colours" /v GrayText /t REG_SZ /d '63 242 63'

preview "$shots/contrast.png" --high-contrast --screen welcome --mode install --clock 10 --since 10
preview "$shots/contrast-done.png" --high-contrast --screen 'done' --mode install --clock 10 --since 10
launch "$VESTRANA_SETUP_CONTRAST"
win=$(open_window 'vestrana Setup') || { check "the window appears" false; exit 1; }
check "in high contrast the welcome screen equals the preview with the same system colours" \
  wait_for_look "$win" "$shots/contrast.png" 5 title header subtitle footer
press_key "$win" Return
check "in high contrast the done screen equals the preview with the same system colours" \
  wait_for_look "$win" "$shots/contrast-done.png" 10 title header subtitle footer
press_key "$win" Escape
check "Escape closes the window" window_gone "$win" 10
wait_exit "$launch_pid" 10
check_eq "with exit code 0" 0 "$exit_code"
finish
