#!/usr/bin/env bash
# A windowed removal the way Windows starts it, from the entry's
# UninstallString: the temporary copy asks, removes with the user data when
# asked to, and once its delayed clean-up has run nothing is left. A second
# removal that the user closes on the question leaves the installation as it
# was and deletes only its temporary copy.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

settled_previews remove
preview "$shots/welcome-on.png" --screen welcome --mode remove --clock 10 --since 10 \
  --options 1 --anim 1 --hover toggle0

silent_install "the silent install exits 0"
temp=$(temp_dir)
local_data="$(local_appdata)/com.vestrana.desktop"
roaming_data="$(roaming_appdata)/com.vestrana.desktop"
mkdir -p "$local_data/EBWebView" "$roaming_data"
echo cookie >"$local_data/EBWebView/Cookies"
echo '{"signedIn":true}' >"$roaming_data/settings.json"
command=$(reg_value "$uninstall_key" UninstallString || true)

# The gated test build as the installed uninstaller: its copy holds each
# paced step of the removal until the test lets it go on.
cp "$VESTRANA_SETUP_GATED" "$dir/uninstall.exe"

rc=0; run_command_line "$command" || rc=$?
check_eq "the uninstall command exits 0 once it has started its copy" 0 "$rc"
win=$(open_window 'Remove vestrana') || { check "the question window answers and has the focus" false; exit 1; }
check "it runs from a temporary copy" test -n "$(uninstaller_copies "$temp")"
check "the question equals the preview" wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer
option='Also delete sign-in and settings'
click_child "$option" "$win"
check "\"$option\" can be ticked" wait_state "$option" checked
check "the footer shows it ticked" wait_for_look "$win" "$shots/welcome-on.png" 3 footer
click_child Remove "$win"
check "Remove shows the progress screen" wait_child "Closing vestrana …"
check "the progress screen equals the preview" wait_for_look "$win" "$shots/progress.png" 5 title header
release_steps 10
check "then the done screen" wait_for_look "$win" "$shots/done.png" 10 title header subtitle footer
click_child Close "$win"
check "Close closes the window" window_gone "$win" 10
check "the delayed clean-up finishes" wait_for_final_cleanup "$dir" "$temp"
check "the install folder is gone" test ! -e "$dir"
check_eq "no temporary uninstaller copy is left" "" "$(uninstaller_copies "$temp")"
check "the Start-menu shortcut is gone" test ! -e "$(programs_dir)/vestrana.lnk"
check "the desktop shortcut is gone" test ! -e "$(desktop_dir)/vestrana.lnk"
check "the uninstall entry is gone" reg_key_gone "$uninstall_key"
check "the local user data folder is gone" test ! -e "$local_data"
check "the roaming user data folder is gone" test ! -e "$roaming_data"

# Closed on the question: only the temporary copy goes.
expect_silent_run 0 "a new silent install exits 0"
installed() { (cd "$dir" && sha256sum vestrana.exe WebView2Loader.dll uninstall.exe) 2>/dev/null; }
files_before=$(installed)
entry_before=$(reg_values "$uninstall_key" || true)
xdotool mousemove 5 5 # not over the new window's button
rc=0; run_command_line "$command" || rc=$?
check_eq "the uninstall command exits 0 again" 0 "$rc"
win=$(open_window 'Remove vestrana') || { check "the question window answers again" false; exit 1; }
check "the question shows again" wait_for_look "$win" "$shots/welcome.png" 5 title header subtitle footer
press_key "$win" Escape
check "Escape closes it" window_gone "$win" 10
copy_gone() { [ -z "$(uninstaller_copies "$temp")" ]; }
check "its temporary copy is deleted" poll 10 copy_gone
check_eq "the installed files stay as they were" "$files_before" "$(installed)"
check_eq "the uninstall entry stays as it was" "$entry_before" "$(reg_values "$uninstall_key" || true)"
check "the Start-menu shortcut stays" test -f "$(programs_dir)/vestrana.lnk"
finish
