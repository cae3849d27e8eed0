# Shared helpers of the end-to-end tests. Each test runs the real program
# under Wine in its own copy of the template prefix. Many of the variables
# set here are read only by the scripts that source this file.
# shellcheck shell=bash disable=SC2034
set -euo pipefail
# A command that stops the test outside a check says which one it was, so a
# failure never shows as a test that merely ended early.
set -E
trap 'on_error "$?" "$LINENO" "$BASH_COMMAND"' ERR
on_error() {
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  printf 'FAIL %s: line %s: "%s" exited with status %s\n' "$test_name" "$2" "$3" "$1" >&2
}

: "${VESTRANA_TEMPLATE_PREFIX:?}"
# winemenubuilder would copy every shortcut into the Unix desktop's menus.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=${LC_ALL:-en_US.UTF-8}

failures=0
test_name=$(basename "$0" .sh)
exit_actions=() # commands that cleanup_prefix runs first, e.g. to end a server

new_prefix() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vestrana-e2e.XXXXXX")
  export WINEPREFIX
  cp -a "$VESTRANA_TEMPLATE_PREFIX/." "$WINEPREFIX/"
  # Wine links Desktop, Documents and the like to the Unix home folder; plain
  # folders keep every shortcut a test makes inside its own prefix.
  local folder
  for folder in "$WINEPREFIX/drive_c/users/$(wine_user)"/*; do
    if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
  done
  trap cleanup_prefix EXIT
  wineserver -p
}

# Each prefix keeps one Wine server for the whole test, ended by
# cleanup_prefix. Debian's wineserver wrapper starts a server without
# persistence (-p0): it exits the moment the prefix's last process has
# ended, and a wine command that connects in that moment fails with
# "recvmsg: Connection reset by peer", which reads like a missing registry
# value or a failed run. A test that ends every process of the prefix on
# purpose starts the next server through restart_wineserver.
restart_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -p
}

cleanup_prefix() {
  local rc=$? action
  for action in "${exit_actions[@]}"; do eval "$action" || true; done
  wineserver -k 2>/dev/null || true
  [ -n "${KEEP_PREFIX:-}" ] || rm -rf "$WINEPREFIX"
  if [ "$rc" -eq 0 ] && [ "$failures" -gt 0 ]; then exit 1; fi
}

wine_user() { echo "${USER:-$(id -un)}"; }
# The user's local application data folder in Windows spelling; a test that
# moves it (in the prefix's registry) sets local_appdata_win_override.
local_appdata_win() { echo "${local_appdata_win_override:-C:\\users\\$(wine_user)\\AppData\\Local}"; }
# Unix paths of the user's folders inside the prefix.
local_appdata() { unix_path "$(local_appdata_win)"; }
roaming_appdata() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/AppData/Roaming"; }
install_dir() { echo "$(local_appdata)/vestrana"; }
programs_dir() { echo "$(roaming_appdata)/Microsoft/Windows/Start Menu/Programs"; }
desktop_dir() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/Desktop"; }
# Windows spellings of the install folder and of the two shortcuts.
install_dir_win() { echo "$(local_appdata_win)\\vestrana"; }
programs_link_win() { echo "C:\\users\\$(wine_user)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\vestrana.lnk"; }
desktop_link_win() { echo "C:\\users\\$(wine_user)\\Desktop\\vestrana.lnk"; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vestrana'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

# The Unix path of a Windows path on drive C: of the prefix.
unix_path() {
  local path=${1//\\//}
  case $path in
    [Cc]:/*) echo "$WINEPREFIX/drive_c/${path:3}" ;;
    *) return 1 ;;
  esac
}
# The user's temporary folder (Unix path), as the prefix's environment names it.
temp_dir() { unix_path "$(reg_value 'HKCU\Environment' TEMP)"; }

# Runs a program under Wine and prints nothing; returns its exit code.
run_wine() { wine "$@" >/dev/null 2>&1; }

# Runs a command every tenth of a second until it succeeds, for up to $1
# seconds; returns 1 when it never did.
poll() {
  local tries=$(($(awk -v s="$1" 'BEGIN { printf "%d", s * 10 }') + 1))
  shift
  for _ in $(seq 1 "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Runs a whole command line as the list of installed programs runs an
# uninstall command: handed to CreateProcessW as it is; returns its exit code.
run_command_line() { run_wine "$VESTRANA_RUN_COMMAND_LINE" "$1"; }

# Prints the Unix process IDs of this prefix's processes whose command line
# (as Wine shows it) matches the extended regular expression.
prefix_pids() {
  local pid
  for pid in $(pgrep -f -- "$1" || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  return 0
}

# Starts the stand-in app (Windows path, then arguments) in the background,
# waits until it has recorded its start in its log and sets app_pid to its
# process ID.
starts_log() { echo "$(local_appdata)/com.vestrana.desktop/starts.log"; }
count_starts() { # Windows path of the program
  local n
  n=$(grep -cF -- $'\t'"$1"$'\t' "$(starts_log)" 2>/dev/null) || true
  echo "${n:-0}"
}
start_app() {
  local program=$1 before
  shift
  before=$(count_starts "$program")
  wine "$program" "$@" >/dev/null 2>&1 &
  app_pid=$!
  poll 10 started_since "$program" "$before" && return 0
  echo "the app $program did not start" >&2
  return 1
}
# Whether the app (Windows path) has more starts in its log than $2.
started_since() { [ "$(count_starts "$1")" -gt "$2" ]; }
# Whether a process is alive (an ended one that is not yet reaped is not).
running() {
  local state
  state=$(awk '{ sub(/^.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}
# Whether a process has ended, allowing Wine a moment to tear down a
# process that was just terminated.
ended() { poll 3 not running "$1"; }
not() { ! "$@"; }

# Names of what a removal puts into a (Unix) temporary folder: the
# temporary uninstaller copies and the cleanup helpers' files.
uninstaller_copies() { find "$1" -maxdepth 1 \( -name 'vestrana-uninstall-*.exe' -o -name 'vestrana-cleanup-*.exe' \) -printf '%f\n'; }
# Whether every cleanup helper of a removal has ended.
cleanup_ended() { [ -z "$(prefix_pids 'vestrana-cleanup-[0-9]+\.exe.* --cleanup')" ]; }
# Waits up to 10 s for the last stage of a removal: the install folder and
# everything of ours in the temporary folder deleted, the helper ended.
# Arguments: the install folder and the temporary folder (Unix paths).
wait_for_final_cleanup() { poll 10 final_cleanup_done "$1" "$2"; }
final_cleanup_done() { [ ! -e "$1" ] && [ -z "$(uninstaller_copies "$2")" ] && cleanup_ended; }
# Records the command line of every process of this prefix, each distinct
# one once, into the file $1 until stop_sampling.
start_sampling() {
  sample_file=$1
  : >"$sample_file"
  (
    # Processes come and go under the sweep: what cannot be read is skipped.
    set +e +o pipefail
    trap - ERR
    local environ
    while :; do
      # One grep reads every process's environment, so a sweep takes
      # milliseconds even on a busy machine and a short-lived process is
      # not passed over while the sweep forks its way through /proc.
      grep -lsxzF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ | while read -r environ; do
        tr '\0' ' ' 2>/dev/null <"${environ%/environ}/cmdline"
        echo
      done | sort -u | comm -13 "$sample_file" - >>"$sample_file.new"
      [ -s "$sample_file.new" ] && sort -u "$sample_file" "$sample_file.new" -o "$sample_file"
      rm -f "$sample_file.new"
      # A Wine process lives far longer than this pause (it loads and
      # connects to the server first), so none is missed, and the sampler
      # leaves the cores to the processes it watches.
      sleep 0.02
    done
  ) &
  sampler_pid=$!
}
stop_sampling() { kill "$sampler_pid" 2>/dev/null; wait "$sampler_pid" 2>/dev/null || true; }
# Whether no sampled command line holds the ping-then-delete combination.
no_ping_del() { ! grep -Eiq 'ping|del /|cmd(\.exe)? /' "$1"; }

# One line per shortcut file (Windows paths): target, working folder,
# icon,index and description, separated by tabs, as the shell reads them.
read_shortcuts() { wine "$VESTRANA_READ_SHORTCUT" "$@" 2>/dev/null; }

# `wine reg query` with its arguments, CRLF removed. It fails quietly when the
# key or value does not exist (reg says so on stdout); any other failure is
# told on stderr with what Wine printed, so that it never passes for a
# missing value unnoticed.
reg_query() {
  local out err rc=0
  err=$(mktemp)
  out=$(wine reg query "$@" 2>"$err" | tr -d '\r') || rc=$?
  if [ "$rc" -ne 0 ] && ! grep -q '^reg: Unable to find the specified registry' <<<"$out"; then
    echo "wine reg query $* failed with status $rc:" >&2
    grep -v 'wine32\|multiarch\|apt-get\|dpkg' "$err" >&2 || true
  fi
  rm -f "$err"
  printf '%s\n' "$out"
  return "$rc"
}

# Whether a registry key does not exist, as reg reports it; a query that
# failed for another reason does not count as the key being gone.
reg_key_gone() {
  local out
  out=$(reg_query "$1") && return 1
  grep -q '^reg: Unable to find the specified registry key' <<<"$out"
}
# One registry value's data as `wine reg query` prints it (CRLF removed),
# or nothing (exit 1) when the value does not exist.
reg_value() {
  local key=$1 name=$2 out
  out=$(reg_query "$key" /v "$name") || return 1
  printf '%s\n' "$out" | awk -v n="$name" '
    { line=$0; sub(/^[ \t]+/, "", line) }
    index(line, n) == 1 { rest=substr(line, length(n)+1); sub(/^[ \t]+/, "", rest);
      type=rest; sub(/[ \t].*$/, "", type); data=substr(rest, length(type)+1);
      sub(/^[ \t]+/, "", data); print data; found=1 }
    END { exit !found }'
}

# Every value of a key as "name TAB type TAB data" lines, read in one go;
# nothing (exit 1) when the key does not exist.
reg_values() {
  local out
  out=$(reg_query "$1") || return 1
  printf '%s\n' "$out" | awk '
    /^    [^ ]/ { line=substr($0, 5); at=index(line, "    REG_"); if (at == 0) next;
      name=substr(line, 1, at-1); rest=substr(line, at+4); sep=index(rest, "    ");
      if (sep == 0) { type=rest; data="" } else { type=substr(rest, 1, sep-1); data=substr(rest, sep+4) }
      print name "\t" type "\t" data }'
}
# The REG_SZ values of a key as "name TAB text" lines, read from an export
# of the key (UTF-16), so texts outside the console's code page come out
# exactly (`wine reg query` prints them in the OEM code page).
reg_strings() {
  local file="$WINEPREFIX/drive_c/reg-strings-export.reg"
  rm -f "$file"
  run_wine reg export "$1" 'C:\reg-strings-export.reg' /y || return 1
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' |
    perl -ne 'if (/^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"$/) {
                my ($n, $v) = ($1, $2); s/\\(.)/$1/g for $n, $v; print "$n\t$v\n" }'
  rm -f "$file"
}
# From reg_values or reg_strings output on stdin: the rest of the line of
# one value ("type TAB data", or the text), or exit 1 when it is not there.
pick_value() { awk -F'\t' -v n="$1" '$1 == n { sub(/^[^\t]*\t/, ""); print; found=1 } END { exit !found }'; }

reg_add() { wine reg add "$@" /f >/dev/null 2>&1; }

seed_webview2() {
  reg_add 'HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}' /v pv /t REG_SZ /d 120.0.2210.91
}

check() { # description, command...
  local what=$1; shift
  if "$@"; then
    printf 'ok   %s: %s\n' "$test_name" "$what"
  else
    printf 'FAIL %s: %s\n' "$test_name" "$what"
    failures=$((failures + 1))
  fi
}

check_eq() { # description, expected, actual
  if [ "$2" == "$3" ]; then
    printf 'ok   %s: %s\n' "$test_name" "$1"
  else
    printf 'FAIL %s: %s\n     expected: %q\n     actual:   %q\n' "$test_name" "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

finish() { if [ "$failures" -gt 0 ]; then exit 1; fi; }

# --- Window tests ---------------------------------------------------------------
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

# The local-download test build fetches the WebView2 bootstrapper from a
# fixed local port: sets port, url_path (the download address's path),
# client_key (the runtime's registration) and web (the folder a local server
# serves, with the download address's folders made), keeps proxies out of the
# way and holds the port for this test, one such test at a time on this
# machine.
take_download_port() {
  unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
  port=47805
  url_path='/fwlink/p/?LinkId=2124703'
  client_key='HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
  web="$WINEPREFIX/web"
  mkdir -p "$web/fwlink/p"
  exec {port_lock}>"${TMPDIR:-/tmp}/vestrana-e2e-port-$port.lock"
  flock -w 240 "$port_lock" || { echo "port $port stays taken by another test" >&2; exit 1; }
}

# ---- Openings and sequences several tests share ------------------------------

# Sets dir and win to the install folder as the file system and as Windows
# spell it.
install_dirs() {
  dir=$(install_dir)
  win=$(install_dir_win)
}

# Runs the setup silently and checks that it exits with code $1 (the check
# named $2).
expect_silent_run() {
  local rc=0
  run_wine "$VESTRANA_SETUP" --silent || rc=$?
  check_eq "$2" "$1" "$rc"
}

# A silent install as a test's starting point: checks that it exits 0 (the
# check named $1) and sets dir and win.
silent_install() {
  expect_silent_run 0 "$1"
  install_dirs
}

# Renders the welcome, progress and done screens of mode $1 (install,
# update or remove) once their animations have settled, into
# $shots/welcome.png, progress.png and done.png.
settled_previews() {
  local screen
  for screen in welcome progress 'done'; do
    preview "$shots/$screen.png" --screen "$screen" --mode "$1" --clock 10 --since 10
  done
}

# A plain install through the window, checked against the preview: renders
# the settled welcome and done screens with the preview options that follow
# $4 as $shots/$1-welcome.png and $1-done.png, starts the setup $2 (in the
# locale $4 when it is not empty), waits for each screen to equal its
# preview (Return installs), closes the done screen with the key $3 and
# expects exit code 0.
install_looks_like_preview() {
  local name=$1 setup=$2 key=$3 locale=$4 screen
  shift 4
  for screen in welcome 'done'; do
    preview "$shots/$name-$screen.png" --screen "$screen" --mode install --clock 10 --since 10 "$@"
  done
  if [ -n "$locale" ]; then LC_ALL=$locale launch "$setup"; else launch "$setup"; fi
  win=$(open_window 'vestrana Setup') || { check "the $name window appears" false; exit 1; }
  check "$name: the welcome screen equals the preview" \
    wait_for_look "$win" "$shots/$name-welcome.png" 5 title header subtitle footer
  press_key "$win" Return
  check "$name: the done screen equals the preview" \
    wait_for_look "$win" "$shots/$name-done.png" 10 title header subtitle footer
  press_key "$win" "$key"
  check "$name: $key closes the done screen" window_gone "$win" 10
  wait_exit "$launch_pid" 10
  check_eq "with exit code 0" 0 "$exit_code"
}
