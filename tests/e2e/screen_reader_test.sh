#!/usr/bin/env bash
# The window through the eyes of a screen reader: a client in another
# process reads the MSAA tree of every screen (names, roles, states, values,
# descriptions and locations) and compares it with what the window shows and
# with the layout the window paints from (the preview tool's), installs
# using only default actions, and an out-of-context WinEvent hook for every
# process, started before the setup as a screen reader's is, receives the
# focus, state, value, name and alert events. The error screen is read at
# 144 DPI in German.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

msaa() { wine "$VESTRANA_MSAA_CLIENT" "$@" 2>/dev/null | tr -d '\r'; }
# Starts the event hook before the setup; waits until it listens. It ends
# once the setup's window has come and gone. (Its lines end in CR LF; the
# log is read through `tr`.)
listen() {
  events_log=$1
  wine "$VESTRANA_MSAA_CLIENT" events 2>/dev/null >"$events_log" &
  for _ in $(seq 1 100); do grep -q '^listening' "$events_log" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}
# Polls the event log for up to $2 seconds for the exact line $1.
wait_for_event() {
  for _ in $(seq 1 $(($2 * 10))); do
    tr -d '\r' <"$events_log" | grep -qxF "$1" && return 0
    sleep 0.1
  done
  return 1
}
# What the tree must report for a state, from the layout the window paints
# from: each text and control's name and device rectangle (NAME TAB x,y,w,h).
layout() { "$VESTRANA_PREVIEW" --layout --scale "$ui_scale" "$@"; }
# The same from the tree in $tree, in its order, without the progress bar.
tree_layout() { awk -F'\t' 'NR > 1 && $2 != "progressbar" { print $4 "\t" $7 }' <<<"$tree"; }
# The tree in $tree without the locations (fields 1 to 6).
tree_items() { cut -f1-6 <<<"$tree"; }
# Polls the tree for up to $2 seconds until the window's name begins with
# $1; the last tree stays in $tree.
wait_for_name() {
  for _ in $(seq 1 $(($2 * 4))); do
    tree=$(msaa tree) || true
    [[ "$(head -n1 <<<"$tree")" == "name"$'\t'"$1"* ]] && return 0
    sleep 0.25
  done
  return 1
}
# The colour of one device pixel of a capture, as #RRGGBB.
pixel() { /usr/bin/convert "$1" -format "#%[hex:p{$2,$3}]" info: 2>/dev/null | cut -c1-7; }
# Field $2 (tab-separated) of child line $1 in $tree.
field() { awk -F'\t' -v id="$1" -v f="$2" '$1 == id { print $f }' <<<"$tree"; }

preview "$shots/welcome-off.png" --screen welcome --mode install --clock 10 --since 10 --options 0,0 --anim 0,0

tab=$'\t'
check "an out-of-process event hook for every process listens" listen "$shots/events.log"
launch "$VESTRANA_SETUP"
win=$(find_window 'vestrana Setup') || { check "the setup window appears" false; exit 1; }
check "a focus event names Install when the window opens" \
  wait_for_event "focus${tab}5${tab}button${tab}Install${tab}" 10

tree=$(msaa tree -- nav)
check_eq "navigation walks the children both ways" "nav${tab}1 2 3 4 5 6 7${tab}7 6 5 4 3 2 1" \
  "$(grep '^nav' <<<"$tree")"
tree=$(grep -v '^nav' <<<"$tree")
check_eq "the welcome screen's tree" "name${tab}vestrana Setup
1${tab}text${tab}readonly${tab}vestrana${tab}${tab}
2${tab}text${tab}readonly${tab}Desktop app for Windows · Version ${VESTRANA_VERSION}${tab}${tab}
3${tab}checkbox${tab}checked,focusable${tab}Shortcut on the desktop${tab}${tab}Toggle
4${tab}checkbox${tab}focusable${tab}Start with Windows, in the notification area${tab}${tab}Toggle
5${tab}button${tab}focusable,focused${tab}Install${tab}${tab}Press
6${tab}button${tab}-${tab}Minimize${tab}${tab}Press
7${tab}button${tab}-${tab}Close${tab}${tab}Press" "$(tree_items)"
check_eq "its texts and controls lie where the layout puts them" \
  "$(layout --screen welcome --mode install)" "$(tree_layout)"

# The locations are where the window paints: the primary button's fill
# starts inside its reported rectangle, the panel shows just outside it.
shoot "$win" "$shots/welcome.png"
IFS=, read -r bx by _ bh <<<"$(field 5 7)"
check_eq "the reported button is painted in the accent colour" "#5847F0" "$(pixel "$shots/welcome.png" $((bx + 12)) $((by + bh / 2)))"
check_eq "left of it is the panel" "#FFFFFF" "$(pixel "$shots/welcome.png" $((bx - 2)) $((by + bh / 2)))"
check_eq "hit test: the primary button" "5" "$(msaa hit 508 356)"
check_eq "hit test: the label of the first option" "3" "$(msaa hit 150 338)"
check_eq "hit test: the product name" "1" "$(msaa hit 100 150)"
check_eq "hit test: empty space is the window itself" "0" "$(msaa hit 10 250)"

# Focus and default action act like Tab and a click.
check "the second option takes the focus" msaa focus 4
check "the desktop option is toggled by its default action" msaa 'do' 3
tree=$(msaa tree)
check_eq "the desktop option is unchecked" "focusable" "$(field 3 3)"
check_eq "the second option has the focus" "focusable,focused" "$(field 4 3)"
check_eq "the primary button has lost it" "focusable" "$(field 5 3)"
check "the window shows the option off, without a focus ring (no key was used)" \
  wait_for_look "$win" "$shots/welcome-off.png" 3 footer

# Install by default action: the progress screen, then the done screen.
# One client process, so that the three calls fall inside the progress screen.
tree=$(msaa 'do' 5 -- tree -- 'do' 7) || true
check "Install's default action starts the install" grep -q progressbar <<<"$tree"
check "close's default action is refused while it works (DISP_E_MEMBERNOTFOUND)" \
  grep -qxF "do${tab}7${tab}0x80020003" <<<"$tree"
tree=$(grep -v '^do' <<<"$tree")
check "the progress screen is named after its step" grep -qE "^name${tab}.* …$" <<<"$tree"
check_eq "the progress bar's value is a percentage as painted" "1" \
  "$(field 5 5 | grep -cE '^[0-9]{1,3} %$')"
check_eq "the progress bar" "progressbar${tab}readonly" "$(field 5 2)${tab}$(field 5 3)"
check_eq "the close button is unavailable while it works" "unavailable" "$(field 7 3)"
check "the done screen is announced" wait_for_name "vestrana is ready." 12
check_eq "the done screen's tree" "name${tab}vestrana is ready.
1${tab}text${tab}readonly${tab}vestrana${tab}${tab}
2${tab}text${tab}readonly${tab}Desktop app for Windows · Version ${VESTRANA_VERSION}${tab}${tab}
3${tab}text${tab}readonly${tab}vestrana is ready.${tab}${tab}
4${tab}text${tab}readonly${tab}You will find it in the Start menu.${tab}${tab}
5${tab}button${tab}focusable${tab}Close${tab}${tab}Press
6${tab}button${tab}focusable,focused${tab}Open vestrana${tab}${tab}Press
7${tab}button${tab}-${tab}Minimize${tab}${tab}Press
8${tab}button${tab}-${tab}Close${tab}${tab}Press" "$(tree_items)"
check_eq "its texts and controls lie where the layout puts them" \
  "$(layout --screen 'done' --mode install)" "$(tree_layout)"
check_eq "the focused button is described with the screen's message" \
  "vestrana is ready. You will find it in the Start menu." "$(field 6 8)"
check "the app is installed" test -f "$(install_dir)/vestrana.exe"
check "without the desktop shortcut that was switched off" test ! -e "$(desktop_dir)/vestrana.lnk"
check "with the Start-menu shortcut" test -f "$(programs_dir)/vestrana.lnk"

# Close by default action while calling the object all the time: the calls
# fail cleanly once the window is gone, and the setup ends normally.
read -r answered result <<<"$(msaa after-close 5)"
echo "info $test_name: $answered calls answered during the close, then $result"
# While the setup still runs, the object it cut off answers "not connected".
# On a busy machine the setup may have ended before the first call after the
# action; then the system itself answers that the call failed.
case "$result" in
  0x800401FD) check_eq "calls after the close fail as not connected" 0x800401FD "$result" ;;
  *) check "calls after the close fail (the setup had already ended)" grep -qE "^0 0x800706B[AE]$" <<<"$answered $result" ;;
esac
check "Close closes the window" window_gone "$win" 10
wait_exit "$launch_pid" 10
check_eq "the setup exits with 0" 0 "$exit_code"

events=$(tr -d '\r' <"$shots/events.log")
has_event() { grep -qxF "$1" <<<"$events"; }
check "focus event for the second option" \
  has_event "focus${tab}4${tab}checkbox${tab}Start with Windows, in the notification area${tab}"
check "state event for the desktop option, now unchecked" \
  has_event "state${tab}3${tab}checkbox${tab}Shortcut on the desktop${tab}focusable"
check "value events for the progress bar" grep -qE "^value${tab}5${tab}progressbar${tab}${tab}[0-9]+ %$" <<<"$events"
check "name events for the window" grep -qE "^name${tab}0${tab}client${tab}" <<<"$events"
check "focus event for \"Open vestrana\" on the done screen, described" \
  has_event "focus${tab}6${tab}button${tab}Open vestrana${tab}vestrana is ready. You will find it in the Start menu."

# The error screen at 144 DPI in German: announced with an alert.
desktop_key='HKCU\Control Panel\Desktop'
reg_add "$desktop_key" /v LogPixels /t REG_DWORD /d 144
ui_scale=1.5
check "the hook listens again before the second setup" listen "$shots/events-error.log"
LC_ALL=de_DE.UTF-8 launch "$VESTRANA_SETUP_DAMAGED"
win=$(find_window 'vestrana Setup') || { check "the damaged setup's window appears" false; exit 1; }
check "Installieren's default action starts the install" msaa 'do' 5
check "the error screen is announced" wait_for_name "Das hat nicht geklappt. the packed app is damaged (" 10
error=$(head -n1 <<<"$tree" | cut -f2)
error=${error#Das hat nicht geklappt. }
check_eq "its heading is an alert with the whole error as its description" \
  "alert${tab}readonly${tab}Das hat nicht geklappt.${tab}${error}" "$(field 3 2)${tab}$(field 3 3)${tab}$(field 3 4)${tab}$(field 3 8)"
check "its body is the error text" eval '[[ "$(field 4 4)" == "the packed app is damaged ("* ]]'
check_eq "the buttons, German, focus on Erneut versuchen" \
  "Schließen${tab}focusable|Erneut versuchen${tab}focusable,focused|Minimieren${tab}-|Schließen${tab}-" \
  "$(awk -F'\t' '$2 == "button" { printf "%s%s\t%s", sep, $4, $3; sep = "|" }' <<<"$tree")"
check_eq "its texts and controls lie where the layout puts them at 1.5 times" \
  "$(layout --screen error --lang de --error "$error")" "$(tree_layout)"
check "the alert event is raised on the alert child" \
  wait_for_event "alert${tab}3${tab}alert${tab}Das hat nicht geklappt.${tab}${error}" 5
msaa 'do' 5 || true
check "Schließen closes the window" window_gone "$win" 10
finish
