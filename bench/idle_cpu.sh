#!/usr/bin/env bash
# How lightly the window idles: the share of one core that the setup
# process uses while its welcome screen waits for a click, read from its CPU
# time over 10 s (IDLE_SECONDS) under Wine on a virtual display, at 96 and
# 144 DPI. Goals: at most 10 % at 96 DPI and 15 % at 144 DPI.
#
#   bench/idle_cpu.sh [PROGRAM.exe...]
#
# Several programs (say a build of an earlier commit, then the current one)
# are measured in turn in the same run; the default is the windows build's
# vestrana-setup.exe. On a shared machine one reading can be a few points
# off, so every program is measured IDLE_RUNS times (default 3), the
# programs taking turns, and the median of its readings is its figure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/windows
export VESTRANA_TEMPLATE_PREFIX=$build/wine-template
bash "$root/tests/e2e/make_template_prefix.sh" "$VESTRANA_TEMPLATE_PREFIX"
source "$root/tests/e2e/lib.sh"

programs=("$@")
[ "${#programs[@]}" -gt 0 ] || programs=("$build/vestrana-setup.exe")
seconds=${IDLE_SECONDS:-10}
runs=${IDLE_RUNS:-3}
hz=$(getconf CLK_TCK)

new_prefix
start_display
seed_webview2
xdotool mousemove 5 5 # away from the window: no hover

# User plus system time of a process in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }

readings=$(mktemp)
printf '%-40s %5s %8s\n' program dpi 'core %'
for dpi in 96 144; do
  reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
  for _ in $(seq 1 "$runs"); do
    for program in "${programs[@]}"; do
      # Each program runs from the prefix under a name of its own, so its
      # process is easy to find.
      name=idle-$(basename "$program")
      cp "$program" "$WINEPREFIX/drive_c/$name"
      launch "C:\\$name"
      win=$(find_window 'vestrana Setup') || { echo "the window of $program did not appear" >&2; exit 1; }
      sleep 2 # past the start-up and the screen's fade-in
      pid=
      for _ in $(seq 1 50); do
        pid=$(prefix_pids "^C:.$name" | head -n 1)
        [ -n "$pid" ] && break
        sleep 0.1
      done
      [ -n "$pid" ] || { echo "no process for $program" >&2; exit 1; }
      # Other work on the machine would cap what the window may use: the
      # program, the X server and the Wine server run at a raised priority
      # while they are measured (when allowed).
      # shellcheck disable=SC2046 # one word per process ID
      renice -n -15 -p "$pid" "$xvfb_pid" $(prefix_pids wineserver) >/dev/null 2>&1 || true
      sleep 1
      before=$(cpu_ticks "$pid")
      sleep "$seconds"
      after=$(cpu_ticks "$pid")
      awk -v p="$program" -v d="$dpi" -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "%-40s %5d %8.1f\n", p, d, 100 * t / hz / s }' | tee -a "$readings"
      press_key "$win" alt+F4
      window_gone "$win" 10 || true
      wait_exit "$launch_pid" 10
    done
  done
done

echo "median of $runs runs:"
for dpi in 96 144; do
  for program in "${programs[@]}"; do
    awk -v p="$program" -v d="$dpi" '$1 == p && $2 == d { print $3 }' "$readings" | sort -n |
      awk -v p="$program" -v d="$dpi" '{ v[NR] = $1 }
        END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%-40s %5d %8.1f\n", p, d, m }'
  done
done
rm -f "$readings"
