#!/usr/bin/env bash
# An install and a removal with the keyboard only: Tab and Shift+Tab move the
# focus ring (pixel for pixel as the preview's --focus paints it), Space
# switches an option and presses a button (pressed look while it is held),
# Enter is the primary button.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

look() { preview "$shots/$1.png" --clock 10 --since 10 "${@:2}"; }
look welcome --screen welcome --mode install
look install-toggle0 --screen welcome --mode install --focus toggle0
look install-off --screen welcome --mode install --focus toggle0 --options 0,0 --anim 0,0
look install-toggle1 --screen welcome --mode install --focus toggle1 --options 0,0 --anim 0,0
look install-primary --screen welcome --mode install --focus primary --options 0,0 --anim 0,0
look progress --screen progress --mode install --step 1
look 'done' --screen 'done' --mode install --focus primary
look 'done-secondary' --screen 'done' --mode install --focus secondary

xdotool mousemove 5 5 # the pointer stays off the window
launch "$VESTRANA_SETUP"
win=$(open_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
check "before any key, no focus ring" wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer
press_key "$win" Tab
check "Tab: the ring goes round the first option" wait_for_look "$win" "$shots/install-toggle0.png" 3 footer
press_key "$win" space
check "Space switches it off" wait_for_look "$win" "$shots/install-off.png" 3 footer
press_key "$win" Tab
check "Tab: the second option" wait_for_look "$win" "$shots/install-toggle1.png" 3 footer
press_key "$win" Tab
check "Tab: the primary button" wait_for_look "$win" "$shots/install-primary.png" 3 footer
press_key "$win" shift+Tab
check "Shift+Tab: back to the second option" wait_for_look "$win" "$shots/install-toggle1.png" 3 footer
press_key "$win" Tab
press_key "$win" space
# The dimmed close glyph of the progress screen, whichever step shows.
check "Space on Install starts the install" wait_for_look "$win" "$shots/progress.png" 3 title
check "the done screen shows the ring on the primary button" wait_for_look "$win" "$shots/done.png" 10 title footer
press_key "$win" Tab
check "Tab: the secondary button" wait_for_look "$win" "$shots/done-secondary.png" 3 footer
press_key "$win" shift+Tab
check "Shift+Tab: the primary button" wait_for_look "$win" "$shots/done.png" 3 footer
app_win="$(install_dir_win)\\vestrana.exe"
before=$(count_starts "$app_win")
press_key "$win" Return
check "Enter opens the app and closes the window" window_gone "$win" 10
poll 5 started_since "$app_win" "$before"
check_eq "the app was started" $((before + 1)) "$(count_starts "$app_win")"
check "no desktop shortcut (switched off by Space)" test ! -e "$(desktop_dir)/vestrana.lnk"
check "the Start-menu shortcut" test -f "$(programs_dir)/vestrana.lnk"

# Removal, with the user data.
look question --screen welcome --mode remove
look question-toggle --screen welcome --mode remove --focus toggle0
look question-on --screen welcome --mode remove --focus toggle0 --options 1 --anim 1
look question-pressed --screen welcome --mode remove --focus primary --pressed primary --options 1 --anim 1
look removed --screen 'done' --mode remove --focus primary

local_data="$(local_appdata)/com.vestrana.desktop"
mkdir -p "$local_data"
echo cookie >"$local_data/Cookies"
dir=$(install_dir)
temp=$(temp_dir)
xdotool mousemove 5 5
rc=0; run_command_line "$(reg_value "$uninstall_key" UninstallString)" || rc=$?
check_eq "the uninstall command exits 0" 0 "$rc"
win=$(open_window 'Remove vestrana') || { check "the question window appears" false; exit 1; }
check "the question, without a ring" wait_for_look "$win" "$shots/question.png" 5 title header subtitle footer
press_key "$win" shift+Tab
check "Shift+Tab from the button: the option" wait_for_look "$win" "$shots/question-toggle.png" 3 footer
press_key "$win" space
check "Space ticks it" wait_for_look "$win" "$shots/question-on.png" 3 footer
press_key "$win" Tab
xdotool keydown --window "$win" space 2>/dev/null || true
check "held Space shows the button pressed" wait_for_look "$win" "$shots/question-pressed.png" 3 footer
xdotool keyup --window "$win" space 2>/dev/null || true
xdotool keyup space 2>/dev/null || true
check "releasing it removes, then the done screen has the ring on Close" \
  wait_for_look "$win" "$shots/removed.png" 10 title footer
press_key "$win" Return
check "Enter closes the window" window_gone "$win" 10
check "the delayed clean-up finishes" wait_for_final_cleanup "$dir" "$temp"
check "the install folder is gone" test ! -e "$dir"
check "the user data is gone" test ! -e "$local_data"
finish
