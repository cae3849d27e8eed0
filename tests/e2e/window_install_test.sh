#!/usr/bin/env bash
# A first install with the mouse, in the real window: its size and place, its
# pixels against the preview's rendering of the same state, the desktop
# toggle, the paced progress, what the install leaves on the machine, and
# "Open vestrana" starting the app and closing the setup. The gated build
# holds each paced step until the test lets it go on.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

settled_previews install
preview "$shots/welcome-off.png" --screen welcome --mode install --clock 10 --since 10 \
  --options 0,0 --anim 0,0 --hover toggle0

setup=$VESTRANA_SETUP_GATED
launch "$setup"
win=$(find_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
shown_after=$(seconds_since "$launch_time")

# Time from the process start to the first painted (not all black) frame.
painted_after=never
first_frame() { shoot "$win" "$shots/first.png" 2>/dev/null && painted "$shots/first.png"; }
poll 4 first_frame && painted_after=$(seconds_since "$launch_time")
check "a frame is painted" painted "$shots/first.png"
win=$(open_window "vestrana Setup") || { check "the window answers the screen reader and has the focus" false; exit 1; }
echo "info $test_name: window shown ${shown_after} s, first painted frame ${painted_after} s after the start"

window_info "$win"
check_eq "the window is 640 x 420 at (320, 190) on 1280 x 800" "640x420+320+190" "${win_w}x${win_h}+${win_x}+${win_y}"
check "the window shows the program's icon (its images are PNG)" \
  eval 'xprop -id "$win" _NET_WM_ICON | grep -q "Icon (32 x 32)"'

# After the entrance animations the still parts equal the preview exactly.
check "the welcome screen equals the preview (title bar, header, footer)" \
  wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer
cp "$shots/last.png" "$shots/welcome-shot.png"

# The desktop toggle switches off (and stays hovered under the pointer).
toggle='Shortcut on the desktop'
click_child "$toggle" "$win"
check "clicking the desktop toggle switches it off" wait_state "$toggle" '!checked'
check "the footer shows it off" wait_for_look "$win" "$shots/welcome-off.png" 3 footer
check "the toggle region changed" \
  test "$(pixels_differ "$shots/welcome-shot.png" "$shots/last.png" 42 324 214 28)" != 0

# Install: the progress screen, held at "Copying files …" until the test
# lets the rest go on, then the done screen after their pacing.
click_child Install "$win"
check "Install shows the progress screen" wait_child "Closing vestrana …"
release_steps 1
check "the step after closing the app is the copy" wait_child "Copying files …"
# (names the logical region of the step text for same_regions)
# shellcheck disable=SC2034
region_step=(40 320 280 28)
check "the progress screen with \"Copying files …\" equals the preview" \
  wait_for_look "$win" "$shots/progress.png" 5 title step
check "the progress bar is drawn" test "$(bar_fill "$shots/last.png")" -ge 8
released=$(now)
release_steps 4
# The close glyph leaves its faded look the moment the outcome arrives.
check "the done screen follows" wait_for_look "$win" "$shots/done.png" 10 title
done_after=$(awk -v a="$released" -v b="$matched_time" 'BEGIN { printf "%.2f", b - a }')
check "the last three steps take no less than 1.2 s together (took $done_after s)" at_least "$done_after" 1.2
check "the done screen equals the preview" wait_for_look "$win" "$shots/done.png" 3 title header subtitle footer

# On the machine: as after a silent install, without the desktop shortcut.
dir=$(install_dir)
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "WebView2Loader.dll is the packed library" cmp -s "$dir/WebView2Loader.dll" "$VESTRANA_BUILD/standin/WebView2Loader.dll"
check "uninstall.exe is a copy of the setup" cmp -s "$dir/uninstall.exe" "$setup"
values=$(reg_values "$uninstall_key") || values=""
uninstaller="\"$(install_dir_win)\\uninstall.exe\" --uninstall"
bytes=$(($(stat -c %s "$dir/vestrana.exe") + $(stat -c %s "$dir/WebView2Loader.dll") + $(stat -c %s "$dir/uninstall.exe")))
check_eq "uninstall entry: version" $'REG_SZ\t'"$VESTRANA_VERSION" "$(pick_value DisplayVersion <<<"$values")"
check_eq "uninstall entry: name" $'REG_SZ\tvestrana' "$(pick_value DisplayName <<<"$values")"
check_eq "uninstall entry: folder" $'REG_SZ\t'"$(install_dir_win)" "$(pick_value InstallLocation <<<"$values")"
check_eq "uninstall entry: icon" $'REG_SZ\t'"$(install_dir_win)\\vestrana.exe" "$(pick_value DisplayIcon <<<"$values")"
check_eq "uninstall entry: command" $'REG_SZ\t'"$uninstaller" "$(pick_value UninstallString <<<"$values")"
check_eq "uninstall entry: quiet command" $'REG_SZ\t'"$uninstaller --silent" "$(pick_value QuietUninstallString <<<"$values")"
check_eq "uninstall entry: size" $'REG_DWORD\t'"$(printf '0x%x' $((bytes / 1024)))" "$(pick_value EstimatedSize <<<"$values")"
check "no autostart value" test -z "$(reg_value "$run_key" vestrana || true)"
check_eq "the Start-menu shortcut starts the app" "$(install_dir_win)\\vestrana.exe" \
  "$(read_shortcuts "$(programs_link_win)" | cut -f1)"
check "no desktop shortcut" test ! -e "$(desktop_dir)/vestrana.lnk"

# "Open vestrana" starts the installed app without arguments and closes.
app_win="$(install_dir_win)\\vestrana.exe"
before=$(count_starts "$app_win")
click_child "Open vestrana" "$win"
check "Open closes the window" window_gone "$win" 10
wait_exit "$launch_pid" 10
check_eq "the setup exits with 0" 0 "$exit_code"
poll 5 started_since "$app_win" "$before"
check_eq "the app was started once" $((before + 1)) "$(count_starts "$app_win")"
check_eq "without arguments" "" "$(tail -n1 "$(starts_log)" | cut -f3)"
finish
