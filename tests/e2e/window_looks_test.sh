#!/usr/bin/env bash
# The window at 144 DPI, in German, French and Turkish and in the dark
# theme: each equals the preview's rendering of the same state, and at 144 DPI
# the clicks land on the same elements at the scaled positions.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

desktop_key='HKCU\Control Panel\Desktop'
theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'

# 144 DPI: one and a half times the logical size, centred on 1280 x 800.
reg_add "$desktop_key" /v LogPixels /t REG_DWORD /d 144
ui_scale=1.5
preview "$shots/scaled.png" --screen welcome --mode install --clock 10 --since 10
preview "$shots/scaled-on.png" --screen welcome --mode install --clock 10 --since 10 \
  --options 1,1 --anim 1,1 --hover toggle1
launch "$VESTRANA_SETUP"
win=$(open_window 'vestrana Setup') || { check "the window appears at 144 DPI" false; exit 1; }
window_info "$win"
check_eq "at 144 DPI the window is 960 x 630, centred" "960x630+160+85" "${win_w}x${win_h}+${win_x}+${win_y}"
check "at 144 DPI the welcome screen equals the preview at scale 1.5" \
  wait_for_look "$win" "$shots/scaled.png" 5 title header subtitle footer
click_at "$win" 60 372
check "a click at the scaled position switches the autostart toggle on" \
  wait_state 'Start with Windows, in the notification area' checked
check "and shows it on" wait_for_look "$win" "$shots/scaled-on.png" 3 footer
click_at "$win" 617 18
check "a click on the scaled close button closes the window" window_gone "$win" 10
wait_exit "$launch_pid" 10
check_eq "with exit code 0" 0 "$exit_code"
reg_add "$desktop_key" /v LogPixels /t REG_DWORD /d 96
ui_scale=1
xdotool mousemove 5 5

# German: the welcome screen, and the done screen after an install.
install_looks_like_preview German "$VESTRANA_SETUP" alt+F4 de_DE.UTF-8 --lang de

# The welcome screen in a language ($1, its locale $2, the window title $3)
# equals the preview in that language, and Escape closes it with exit code 0.
welcome_in_language() {
  preview "$shots/$1.png" --lang "$1" --screen welcome --mode install --clock 10 --since 10
  LC_ALL=$2 launch "$VESTRANA_SETUP"
  win=$(open_window "$3") || { check "the $1 window appears" false; exit 1; }
  check "in $1 the welcome screen equals the $1 preview" \
    wait_for_look "$win" "$shots/$1.png" 5 title header subtitle footer
  press_key "$win" Escape
  check "Escape closes the $1 welcome screen" window_gone "$win" 10
  wait_exit "$launch_pid" 10
  check_eq "with exit code 0" 0 "$exit_code"
}

# French, whose autostart label and subtitle are drawn smaller so that they
# keep their room from the button and the cards; then Turkish. Both run over
# the installed copy of the same version: a plain install.
welcome_in_language fr fr_FR.UTF-8 'Installation de vestrana'
welcome_in_language tr tr_TR.UTF-8 'vestrana Kurulumu'

# The dark app theme.
reg_add "$theme_key" /v AppsUseLightTheme /t REG_DWORD /d 0
preview "$shots/dark.png" --dark --screen welcome --mode install --clock 10 --since 10
launch "$VESTRANA_SETUP"
win=$(open_window 'vestrana Setup') || { check "the dark window appears" false; exit 1; }
check "in the dark theme the welcome screen equals the dark preview" \
  wait_for_look "$win" "$shots/dark.png" 5 title header subtitle footer
press_key "$win" Escape
check "Escape closes it" window_gone "$win" 10
finish
