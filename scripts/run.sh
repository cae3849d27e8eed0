#!/usr/bin/env bash
# Builds the setup program and runs it under Wine in a private prefix inside
# the build folder (build/windows/wine-run), with the window on the current
# display, or on a virtual display when there is none. Arguments pass through
# to the program (for example --silent, or --uninstall).
#
# On a virtual display nobody sees the window, so a picture of it is saved to
# build/windows/screen.png once it is painted and again at every screen
# change, and the run ends with the program's exit code when it closes.
#
# The private prefix is prepared as a machine that already has the WebView2
# runtime, so that an install works without internet. Set
# VESTRANA_REAL_WEBVIEW2=1 to leave that out and see the real download path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" >/dev/null

export WINEPREFIX=$root/build/windows/wine-run WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/.complete" ]; then
  echo "Preparing the Wine prefix $WINEPREFIX ..."
  bash tests/e2e/make_template_prefix.sh "$WINEPREFIX"
fi
key='HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
if [ -z "${VESTRANA_REAL_WEBVIEW2:-}" ]; then
  wine reg add "$key" /v pv /t REG_SZ /d 120.0.2210.91 /f >/dev/null 2>&1
else
  wine reg delete "$key" /f >/dev/null 2>&1 || true
fi

# Runs the program on a virtual display of its own with a window manager
# (without one, Wine takes seconds to destroy a window). While the program
# runs, its window is captured twice a second; the picture is saved when the
# window is first painted and whenever the footer (options and buttons, the
# step and the bar, the result) changes at once, which is a screen change:
# the floating cards above it move all the time, the bar only a little.
run_on_virtual_display() {
  local shot=$root/build/windows/screen.png work number pid win xvfb_pid openbox_pid saved=0
  work=$(mktemp -d)
  # -noreset: a server resetting after its last client drops a client
  # that connects meanwhile, such as the window manager right after start.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
  number=$(head -n1 "$work/display")
  export DISPLAY=:$number
  openbox --sm-disable >/dev/null 2>&1 &
  openbox_pid=$!
  # The exit trap outlives this function's variables: expand them now.
  # shellcheck disable=SC2064
  trap "wineserver -k 2>/dev/null || true; kill $openbox_pid $xvfb_pid 2>/dev/null || true; rm -rf '$work'" EXIT
  trap 'echo; echo "Stopped."; exit 130' INT TERM
  echo "No display: the window opens on the virtual display $DISPLAY (Xvfb), where nobody sees it."
  wine "$exe" "$@" &
  pid=$!
  rm -f "$shot"
  while kill -0 "$pid" 2>/dev/null; do
    sleep 0.5
    win=$(xdotool search --onlyvisible --class 'vestrana-setup.exe' 2>/dev/null | head -n1) || true
    [ -n "$win" ] && timeout 5 import -window "$win" "$work/now.png" 2>/dev/null || continue
    [ "$(convert "$work/now.png" -format '%[fx:maxima.r + maxima.g + maxima.b > 0]' info:)" = 1 ] || continue
    if [ "$saved" = 0 ] || footer_changed "$work/last.png" "$work/now.png"; then
      cp "$work/now.png" "$shot"
      if [ "$saved" = 0 ]; then
        echo "The window is painted; its picture is $shot"
        echo "  (saved again at every screen change)."
        echo "  Keys reach it with xdotool, e.g.: DISPLAY=$DISPLAY xdotool key Return"
        echo "  Without a window: scripts/run.sh --silent. Ctrl+C stops it."
      else
        echo "The screen changed: $shot"
      fi
      saved=1
    fi
    mv "$work/now.png" "$work/last.png"
  done
  wait "$pid"
}

# Whether the footer, the lowest 128 of the window's 420 units, differs
# between two captures in more than 2 % of its pixels.
footer_changed() {
  local w h top n
  read -r w h < <(identify -format '%w %h' "$2")
  top=$((h * 292 / 420))
  n=$(compare -metric AE "$1[${w}x$((h - top))+0+$top]" "$2[${w}x$((h - top))+0+$top]" null: 2>&1) || true
  awk -v n="$n" -v all="$((w * (h - top)))" 'BEGIN { exit !(n + 0 > all * 0.02) }'
}

exe=$root/build/windows/vestrana-setup.exe
if [ -n "${DISPLAY:-}" ]; then
  set +e; wine "$exe" "$@"; rc=$?; set -e
else
  set +e; run_on_virtual_display "$exe" "$@"; rc=$?; set -e
fi
wineserver -w
echo "vestrana-setup.exe exited with code $rc"
exit "$rc"
