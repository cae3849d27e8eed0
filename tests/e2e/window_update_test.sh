#!/usr/bin/env bash
# An update in the real window, worked with the keyboard: the update badge and
# button, the earlier choices as option values, a second setup restoring the
# minimised window, dragging, Return to start, Escape and Alt+F4 refused
# while the update runs, Escape to close the done screen.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display

# Version 1.2.0 is installed in the default folder, with autostart and
# without a desktop shortcut; the WebView2 runtime is there.
dir=$(install_dir)
mkdir -p "$dir"
echo "the app of version 1.2.0" >"$dir/vestrana.exe"
cp "$VESTRANA_BUILD/standin/WebView2Loader.dll" "$dir/"
cp "$VESTRANA_SETUP" "$dir/uninstall.exe"
folder_reg=$(install_dir_win | sed 's/\\/\\\\/g')
cat >"$WINEPREFIX/drive_c/seed.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vestrana]
"DisplayName"="vestrana"
"DisplayVersion"="1.2.0"
"InstallLocation"="$folder_reg"
"UninstallString"="\\"$folder_reg\\\\uninstall.exe\\" --uninstall"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]
"vestrana"="\\"$folder_reg\\\\vestrana.exe\\" --background"

[HKEY_CURRENT_USER\\Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}]
"pv"="120.0.2210.91"
REG
run_wine regedit /S 'C:\seed.reg'
check_eq "the earlier version is recorded" 1.2.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"

preview "$shots/welcome.png" --screen welcome --mode update --installed 1.2.0 --options 0,1 --anim 0,1 \
  --clock 10 --since 10
preview "$shots/welcome-hover.png" --screen welcome --mode update --installed 1.2.0 --options 0,1 --anim 0,1 \
  --clock 10 --since 10 --hover primary
preview "$shots/progress.png" --screen progress --mode update --installed 1.2.0 --clock 10 --since 10
preview "$shots/done.png" --screen done --mode update --installed 1.2.0 --clock 10 --since 10

launch "$VESTRANA_SETUP"
setup_pid=$launch_pid
win=$(find_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
check "the welcome screen shows the update badge, the Update button and the earlier choices" \
  wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer

# The button lights up under the pointer, and goes back to normal when the
# pointer moves on to empty space (which drags the window, so it counts as
# leaving the client area).
screen_point "$win" 508 356
xdotool mousemove "$sx" "$sy"
check "the Update button lights up under the pointer" wait_for_look "$win" "$shots/welcome-hover.png" 3 footer
screen_point "$win" 200 250
xdotool mousemove "$sx" "$sy"
check "and not once the pointer is on empty space" wait_for_look "$win" "$shots/welcome.png" 3 footer

# Minimised by its own button, the window comes back when a second setup
# starts; the second one ends with 1.
click_at "$win" 571 18
xdotool mousemove 5 5
minimised() { [ "$(wm_state "$win")" = Iconic ]; }
restored() { window_info "$win" && [ "$win_map" = IsViewable ] && [ "$(wm_state "$win")" = Normal ]; }
poll() { for _ in $(seq 1 50); do "$@" && return 0; sleep 0.1; done; return 1; }
check "the minimise button minimises the window" poll minimised
launch "$VESTRANA_SETUP"
wait_exit "$launch_pid" 30
check_eq "a second setup exits with 1" 1 "$exit_code"
check "and restores the minimised window" poll restored
check "which still shows the welcome screen" wait_for_look "$win" "$shots/welcome.png" 3 title header subtitle footer

# Dragging by an empty spot moves the window; dragging the button does not
# (and releasing off the button does not press it).
drag() { # logical start point, then the offset in pixels
  screen_point "$win" "$1" "$2"
  xdotool mousemove "$sx" "$sy" mousedown 1 sleep 0.2 \
    mousemove $((sx + $3 / 2)) $((sy + $4 / 2)) sleep 0.1 \
    mousemove $((sx + $3)) $((sy + $4)) sleep 0.2 mouseup 1
  sleep 0.2
}
window_info "$win"
before="$win_x,$win_y"
drag 200 250 100 50
window_info "$win"
check_eq "dragging an empty spot moves the window" "$((${before%,*} + 100)),$((${before#*,} + 50))" "$win_x,$win_y"
before="$win_x,$win_y"
drag 508 356 -120 -60
window_info "$win"
check_eq "dragging the Update button does not move it" "$before" "$win_x,$win_y"
xdotool mousemove 5 5
check "nor does it start the update" wait_for_look "$win" "$shots/welcome.png" 3 title header subtitle footer

# Return starts the update; while it runs, Escape and Alt+F4 are refused.
press_key "$win" Return
check "Return starts the update" wait_for_look "$win" "$shots/progress.png" 3 title header
press_key "$win" Escape
sleep 0.3
check "Escape is refused on the progress screen" wait_for_look "$win" "$shots/progress.png" 0 title
press_key "$win" alt+F4
sleep 0.3
check "Alt+F4 is refused on the progress screen" wait_for_look "$win" "$shots/progress.png" 0 title
check "the done screen follows" wait_for_look "$win" "$shots/done.png" 10 title header subtitle footer
press_key "$win" Escape
check "Escape closes the done screen" window_gone "$win" 10
wait_exit "$setup_pid" 10
check_eq "the setup exits with 0" 0 "$exit_code"

# The update replaced the app and kept the earlier choices.
check_eq "the recorded version is this build's" "$VESTRANA_VERSION" "$(reg_value "$uninstall_key" DisplayVersion || true)"
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check_eq "autostart stays on" "\"$(install_dir_win)\\vestrana.exe\" --background" "$(reg_value "$run_key" vestrana || true)"
check "no desktop shortcut appears" test ! -e "$(desktop_dir)/vestrana.lnk"
finish
