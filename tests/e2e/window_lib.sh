# The window tests' helpers, sourced by lib.sh, whose helpers (poll, check,
# run_wine, the prefix and its folders) they use. Many of the variables set
# here are read only by the test scripts.
# shellcheck shell=bash disable=SC2034

# The setup's window runs on a virtual X display of its own with a window
# manager (without one, Wine takes seconds to destroy a window). Positions
# are given in logical units of the 640 x 420 canvas and turned into device
# pixels with ui_scale (set it when the test changes the DPI).
ui_scale=1

# Starts Xvfb and openbox on a display of this test's own; exports DISPLAY.
# Both end with the test. Call it before the first wine command, so that the
# prefix's desktop process runs on this display. The display number is held
# with a lock for the whole test and taken from a range above the numbers
# that servers pick for themselves, so that a test never meets another one,
# or a server that is just ending, on its number.
start_display() {
  local number_file=$WINEPREFIX/.display-number number
  shots=$WINEPREFIX/shots # captures and previews; KEEP_PREFIX keeps them
  mkdir -p "$shots"
  for number in $(seq 40 99) none; do
    [ "$number" = none ] && { echo "no free display number" >&2; return 1; }
    # A server that does not take our locks (another checkout's tests, a
    # desktop) shows by its own lock file.
    [ -e "/tmp/.X$number-lock" ] && continue
    exec {display_lock}>"${TMPDIR:-/tmp}/vestrana-e2e-display-$number.lock"
    flock -n "$display_lock" && break
    exec {display_lock}>&-
  done
  # -noreset: by default the server resets when its last client leaves, and
  # a client that connects during the reset is dropped before it is
  # answered. Between the readiness probe below and the window manager
  # there is no client at all, so without it openbox now and then found no
  # display.
  Xvfb ":$number" -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$number_file" >"$shots/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exit_actions+=(stop_display)
  # The server writes its number once it accepts clients.
  poll 10 grep -qx "$number" "$number_file" || { echo "Xvfb did not start on :$number:" >&2; cat "$shots/xvfb.log" >&2; return 1; }
  DISPLAY=:$number
  export DISPLAY
  poll 10 xdpyinfo >/dev/null 2>&1 || { echo "Xvfb does not answer on $DISPLAY:" >&2; cat "$shots/xvfb.log" >&2; return 1; }
  openbox --sm-disable >"$shots/openbox.log" 2>&1 &
  openbox_pid=$!
  poll 10 wm_running && return 0
  echo "openbox did not start on $DISPLAY:" >&2
  cat "$shots/openbox.log" "$shots/xvfb.log" >&2
  return 1
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
stop_display() {
  wineserver -k 2>/dev/null || true
  local pid
  for pid in ${openbox_pid:-} ${xvfb_pid:-}; do kill "$pid" 2>/dev/null || true; done
  # The display number's lock goes with this shell. A server still shutting
  # down when the next test takes the number would unlink that test's new
  # socket on its way out, so the number is given back only once it is gone.
  for pid in ${openbox_pid:-} ${xvfb_pid:-}; do wait "$pid" 2>/dev/null || true; done
}

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; } # number, minimum

# Starts a program under Wine in the background: sets launch_pid and
# launch_time.
launch() {
  launch_time=$(now)
  wine "$@" >/dev/null 2>&1 &
  launch_pid=$!
}
# Waits up to $2 seconds (default 20) for a background process of this shell
# to end; sets exit_code to its exit code, or to "running".
wait_exit() {
  local pid=$1 seconds=${2:-20}
  exit_code=running
  for _ in $(seq 1 $((seconds * 10))); do
    if ! running "$pid"; then
      exit_code=0
      wait "$pid" || exit_code=$?
      return 0
    fi
    sleep 0.1
  done
}

# Prints the ID of the visible window titled exactly $1, waiting up to $2
# seconds (default 20); exit 1 when none appears.
find_window() {
  local id
  for _ in $(seq 1 $((${2:-20} * 10))); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1) || true
    [ -n "$id" ] && { printf '%s\t%s\n' "$id" "$1" >>"$WINEPREFIX/.windows"; echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# The screen reader's view of the setup's window (see msaa_client.cpp), with
# the line ends of the Windows console removed.
msaa() { wine "$VESTRANA_MSAA_CLIENT" "$@" 2>/dev/null | tr -d '\r'; }
# Reads the tree into $tree; fails when the window's object does not answer.
read_tree() { tree=$(msaa tree) && [ -n "$tree" ]; }
# Whether the window's object answers with the window name $1: then its
# message loop runs and it handles input.
window_answers() { read_tree && [ "$(head -n1 <<<"$tree")" == "name"$'\t'"$1" ]; }
# Whether the X window $1 has the keyboard focus.
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" == "$1" ]; }
# Prints the ID of the setup's window titled $1 once it is shown, its
# message loop answers the screen reader and it has the keyboard focus:
# input sent before then can be lost. Waits up to $2 seconds (default 20).
open_window() {
  local title=$1 seconds=${2:-20} id
  id=$(find_window "$title" "$seconds") || { echo "no window \"$title\" appeared" >&2; return 1; }
  poll "$seconds" window_answers "$title" || { echo "the window \"$title\" does not answer" >&2; return 1; }
  poll "$seconds" has_focus "$id" || { echo "the window \"$title\" never got the focus" >&2; return 1; }
  echo "$id"
}
# Field $2 of the tree line of the child named $1 (3 states, 5 value,
# 7 rectangle), from $tree.
child_field() { awk -F'\t' -v n="$1" -v f="$2" 'NR > 1 && $4 == n { print $f; found=1; exit } END { exit !found }' <<<"$tree"; }
# Whether the child named $1 is there and, read afresh, has the state $2
# (such as "checked"), or lacks it when $2 is "!" and the state.
child_state() {
  local states
  read_tree && states=$(child_field "$1" 3) || return 1
  case $2 in
    !*) [[ ",$states," != *",${2#!},"* ]] ;;
    *) [[ ",$states," == *",$2,"* ]] ;;
  esac
}
# Whether the window's tree, read afresh, has a child named $1.
child_shown() { read_tree && child_field "$1" 4 >/dev/null; }
# Waits up to $3 seconds (default 10) until the child named $1 has (or with
# "!", lacks) the state $2.
wait_state() { poll "${3:-10}" child_state "$1" "$2"; }
# Waits up to $2 seconds (default 10) until the window shows a child named $1.
wait_child() { poll "${2:-10}" child_shown "$1"; }
# Lets the gated test build go on by $1 paced steps (default 1).
release_steps() { run_wine "$VESTRANA_RELEASE_STEPS" "${1:-1}"; }
# Screen coordinates of the middle of the child named $1 of window $2, from
# the rectangle the screen reader reports: sets sx, sy.
child_point() {
  local x y w h
  child_shown "$1" || { echo "no child \"$1\" in the window" >&2; return 1; }
  IFS=, read -r x y w h <<<"$(child_field "$1" 7)"
  window_info "$2"
  sx=$((win_x + x + w / 2))
  sy=$((win_y + y + h / 2))
}
# Clicks the middle of the child named $1 of window $2.
click_child() {
  child_point "$1" "$2" || return 1
  xdotool mousemove --sync "$sx" "$sy" click 1
}
# Waits up to $2 seconds (default 10) until window $1 no longer exists. The X
# server hands a closed connection's window ids to the next client, so an
# app started as the setup closes can get the very same id: under the id
# that find_window found, a window with another title counts as gone too.
window_gone() {
  local title name
  title=$(awk -F'\t' -v id="$1" '$1 == id { t = $2 } END { print t }' "$WINEPREFIX/.windows" 2>/dev/null)
  for _ in $(seq 1 $((${2:-10} * 10))); do
    name=$(xdotool getwindowname "$1" 2>/dev/null) || return 0
    [ -n "$title" ] && [ "$name" != "$title" ] && return 0
    sleep 0.1
  done
  return 1
}
# Sets win_x, win_y (screen position), win_w, win_h and win_map (map state)
# of window $1.
window_info() {
  local info
  info=$(xwininfo -id "$1") || return 1
  win_x=$(awk '/Absolute upper-left X:/ { print $4 }' <<<"$info")
  win_y=$(awk '/Absolute upper-left Y:/ { print $4 }' <<<"$info")
  win_w=$(awk '/Width:/ { print $2 }' <<<"$info")
  win_h=$(awk '/Height:/ { print $2 }' <<<"$info")
  win_map=$(awk '/Map State:/ { print $3 }' <<<"$info")
}
# The ICCCM state the window manager gives window $1: Normal or Iconic.
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ { print $3 }'; }

# A logical length in device pixels at ui_scale (halves away from zero).
device() { awk -v v="$1" -v s="$ui_scale" 'BEGIN { r = v * s; printf "%d", r < 0 ? -int(-r + 0.5) : int(r + 0.5) }'; }
# Screen coordinates of the logical point ($2, $3) of window $1: sets sx, sy.
screen_point() {
  window_info "$1"
  sx=$((win_x + $(device "$2")))
  sy=$((win_y + $(device "$3")))
}
# Clicks the left button at the logical point ($2, $3) of window $1.
click_at() {
  screen_point "$1" "$2" "$3"
  xdotool mousemove --sync "$sx" "$sy" click 1
}
# Presses a key (xdotool name, such as Return or alt+F4) in window $1. While
# the window has the focus xdotool presses the key in the X server itself,
# but a key that closes the window makes it send the release as an event to
# the window that is gone; the key would stay down and reach the next window
# on this display. So the key is always released in the server afterwards.
press_key() {
  xdotool key --window "$1" "$2" 2>/dev/null || true
  xdotool keyup "$2" 2>/dev/null || true
}

# Captures exactly the client pixels of window $1 into the PNG file $2.
# (import would wait for a click to choose a window when this one is gone.)
shoot() { timeout 10 import -window "$1" "$2"; }
# Paints a window state with the preview tool at ui_scale: output file, then
# the preview's state options.
preview() {
  local out=$1
  shift
  "$VESTRANA_PREVIEW" "$@" --scale "$ui_scale" -o "$out"
}

# Logical regions that no animation reaches (the cards float and tilt right
# of x = 329 and below y = 27, at the subtitle's height right of x = 348):
# the title-bar strip with the minimise and close glyphs, the header with
# logo, name, subtitle and update badge, the subtitle line further right
# (long in some languages), and the footer panel with its content.
region_title=(0 0 640 26)
region_header=(0 0 320 292)
region_subtitle=(0 182 346 26)
region_footer=(0 292 640 128)
# The ImageMagick geometry of a logical region (x y w h) at ui_scale.
geometry() { echo "$(device "$3")x$(device "$4")+$(device "$1")+$(device "$2")"; }
# The number of pixels that differ between two images in a logical region.
pixels_differ() {
  local g
  g=$(geometry "$3" "$4" "$5" "$6")
  compare -metric AE "${1}[$g]" "${2}[$g]" null: 2>&1 || true
}
# Whether two images are identical in every named region (title, header,
# subtitle, footer or one a test defines); prints the differing pixel counts
# when they are not.
same_regions() {
  local a=$1 b=$2 name n result=0 region
  shift 2
  for name in "$@"; do
    eval "region=(\"\${region_${name}[@]}\")"
    n=$(pixels_differ "$a" "$b" "${region[@]}")
    if [ "$n" != 0 ]; then
      echo "     $name: $n pixels differ ($(basename "$a") vs $(basename "$b"))"
      result=1
    fi
  done
  return "$result"
}
# Polls window $1 for up to $3 seconds until its capture equals the image $2
# in the named regions that follow; the last capture stays in $shots/last.png
# and matched_time holds the time at which the matching capture ended.
wait_for_look() {
  local win=$1 expected=$2 seconds=$3 deadline taken
  shift 3
  deadline=$(awk -v t="$(now)" -v s="$seconds" 'BEGIN { printf "%.3f", t + s }')
  while :; do
    if shoot "$win" "$shots/last.png" 2>/dev/null; then
      taken=$(now)
      if same_regions "$shots/last.png" "$expected" "$@" >/dev/null; then
        matched_time=$taken
        return 0
      fi
    fi
    at_least "$(now)" "$deadline" && break
    sleep 0.05
  done
  same_regions "$shots/last.png" "$expected" "$@" || true
  # The capture that did not match, kept for a look (with KEEP_PREFIX).
  cp "$shots/last.png" "$shots/unmatched-$(basename "$expected")" 2>/dev/null || true
  return 1
}
# Whether a capture has any pixel that is not black (a frame was painted).
painted() { [ "$(/usr/bin/convert "$1" -format '%[fx:maxima.r + maxima.g + maxima.b > 0]' info: 2>/dev/null)" = 1 ]; }
# The length in device pixels of the progress bar's fill in a capture of a
# bar that is not full: the pixels of the bar's middle row that differ from
# the empty track at its right end.
bar_fill() {
  local y x0 x1
  y=$(device 360)
  x0=$(device 48)
  x1=$(device 592)
  /usr/bin/convert "$1" -crop "$((x1 - x0))x1+$x0+$y" +repage -depth 8 txt:- |
    awk 'NR > 1 { c[NR] = $3; n = NR } END { for (i = 2; i <= n; i++) if (c[i] != c[n - 2]) k++; print k + 0 }'
}

# Runs the setup in its window over the installed version $1, presses Update
# and expects the error screen whose message names the system's text for the
# Win32 error code $2 (ErrorWriteFiles); then closes the window.
update_fails_on_screen() {
  local message
  message="The files could not be written ($(wine "$VESTRANA_ERROR_TEXT" "$2" 2>/dev/null) (os error $2))."
  preview "$shots/error.png" --screen error --mode update --installed "$1" --error "$message" --clock 10 --since 10
  launch "$VESTRANA_SETUP"
  win=$(open_window 'vestrana Setup') || { check "the setup window appears" false; return 1; }
  click_child Update "$win"
  check "Update ends on the error screen: $message" wait_for_look "$win" "$shots/error.png" 20 title header subtitle footer
  click_child Close "$win"
  check "Close closes the window" window_gone "$win" 10
}
