#!/usr/bin/env bash
# An update in the real window, worked with the keyboard: the update badge and
# button, the earlier choices as option values, a second setup restoring the
# minimised window, dragging, Return to start, Escape and Alt+F4 refused
# while the update runs (held there by the gated build), Escape to close the
# done screen.
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
preview "$shots/done.png" --screen 'done' --mode update --installed 1.2.0 --clock 10 --since 10

launch "$VESTRANA_SETUP_GATED"
setup_pid=$launch_pid
win=$(open_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
check "the welcome screen shows the update badge, the Update button and the earlier choices" \
  wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer

# The button lights up under the pointer, and goes back to normal when the
# pointer moves on to empty space (which drags the window, so it counts as
# leaving the client area).
child_point Update "$win"
xdotool mousemove --sync "$sx" "$sy"
check "the Update button lights up under the pointer" wait_for_look "$win" "$shots/welcome-hover.png" 3 footer
screen_point "$win" 200 250
xdotool mousemove --sync "$sx" "$sy"
check "and not once the pointer is on empty space" wait_for_look "$win" "$shots/welcome.png" 3 footer

# Minimised by its own button, the window comes back when a second setup
# starts; the second one ends with 1.
click_child Minimize "$win"
xdotool mousemove --sync 5 5
minimised() { [ "$(wm_state "$win")" = Iconic ]; }
restored() { window_info "$win" && [ "$win_map" = IsViewable ] && [ "$(wm_state "$win")" = Normal ]; }
check "the minimise button minimises the window" poll 5 minimised
launch "$VESTRANA_SETUP"
wait_exit "$launch_pid" 30
check_eq "a second setup exits with 1" 1 "$exit_code"
check "and restores the minimised window" poll 5 restored
check "which still shows the welcome screen" wait_for_look "$win" "$shots/welcome.png" 3 title header subtitle footer

# Dragging by an empty spot moves the window; dragging the button does not
# (and releasing off the button does not press it). The window manager moves
# the window from wherever the pointer is when it takes over, so the pointer
# goes on one pixel at a time until the window follows it.
at() { window_info "$win" && [ "$win_x,$win_y" == "$1" ]; }
window_info "$win"
before="$win_x,$win_y"
screen_point "$win" 200 250
xdotool mousemove --sync "$sx" "$sy" mousedown 1
for step in $(seq 1 20); do
  xdotool mousemove --sync $((sx + step)) "$sy"
  poll 1 not at "$before" && break
done
window_info "$win"
# From here on the window keeps its distance to the pointer.
moved="$((win_x - step + 100)),$((${before#*,} + 50))"
xdotool mousemove --sync $((sx + 100)) $((sy + 50)) mouseup 1
check "dragging an empty spot moves the window with the pointer" poll 5 at "$moved"
check "by nearly the whole way" test $((${moved%,*} - ${before%,*})) -ge 80
window_info "$win"
before="$win_x,$win_y"
child_point Update "$win"
xdotool mousemove --sync "$sx" "$sy" mousedown 1 mousemove --sync $((sx - 60)) $((sy - 30)) \
  mousemove --sync $((sx - 120)) $((sy - 60)) mouseup 1 mousemove --sync 5 5
# The pointer leaving the window is handled after the drag, so once the
# button has lost its light the drag has been handled too.
check "dragging the Update button does not start the update" \
  wait_for_look "$win" "$shots/welcome.png" 3 title header subtitle footer
window_info "$win"
check_eq "nor does it move the window" "$before" "$win_x,$win_y"

# Return starts the update; while it runs, Escape and Alt+F4 are refused:
# the keys reach the window before the released steps do, so the window that
# shows the done screen has refused them.
press_key "$win" Return
check "Return starts the update" wait_child "Closing vestrana …"
check "the progress screen equals the preview" wait_for_look "$win" "$shots/progress.png" 5 title header
press_key "$win" Escape
press_key "$win" alt+F4
release_steps 10
check "the done screen follows" wait_for_look "$win" "$shots/done.png" 10 title header subtitle footer
check "Escape and Alt+F4 were refused on the progress screen" running "$setup_pid"
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
