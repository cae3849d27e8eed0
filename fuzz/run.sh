#!/usr/bin/env bash
# Runs the fuzz targets of the `fuzz` build one after the other on their seed
# corpora (the packed-app target also on xz-utils' own test files) and prints
# one line per target: executions, executions per second, coverage, time.
#   fuzz/run.sh seconds N [target...]   each target for N seconds
#   fuzz/run.sh runs N [target...]      each target for N executions
# New inputs go to build/fuzz/corpus-work, never into the committed seeds; a
# crashing input is kept there too. Exits non-zero when any target failed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}; amount=${2:-}
case "$mode" in
  seconds) limit=(-max_total_time="$amount") ;;
  # FUZZ_MAX_SECONDS caps a run by time as well (whichever comes first).
  runs) limit=(-runs="$amount" ${FUZZ_MAX_SECONDS:+-max_total_time="$FUZZ_MAX_SECONDS"}) ;;
  *) echo "usage: fuzz/run.sh seconds|runs N [target...]" >&2; exit 2 ;;
esac
shift 2
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(command_line packed_app packed_archive registry text screens)
bin="$root/build/fuzz/fuzz"
work="$root/build/fuzz/corpus-work"
xz_files=$(bash "$root/fuzz/xz_test_files.sh")

failed=0
for t in "${targets[@]}"; do
  opts=(-print_final_stats=1 -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$work/$t-")
  extra=()
  case "$t" in
    # Splitting is one pass over the text with nothing that depends on its
    # length, and every character costs a traced comparison: inputs up to 512
    # UTF-16 units reach all of it at three times the rate of 4 KiB ones.
    command_line) opts+=(-max_len=1024) ;;
    # Longer texts only repeat what 1 KiB holds (every glyph, line and
    # break): each input draws every glyph at a new size, which is what
    # costs, and 4 KiB ones run at under half the rate.
    text) opts+=(-max_len=1024) ;;
    # An xz header may ask for a dictionary of up to 4 GiB, which the decoder
    # allocates (and leaves untouched beyond what it decodes).
    # Inputs are capped at 4 KiB (libFuzzer's own default), although some of
    # xz-utils' files are larger: every header, block, index and check is
    # within reach, and the run is sixty times faster.
    packed_app) opts+=(-malloc_limit_mb=4200 -max_len=4096); extra=("$xz_files") ;;
    # The archive is the input itself: nothing may be allocated for what a
    # length field claims beyond the bytes that are there.
    packed_archive) opts+=(-max_len=65536 -malloc_limit_mb=16) ;;
  esac
  mkdir -p "$work/$t"
  log="$work/$t.log"
  start=$(date +%s.%N)
  # CPU seconds too: on a shared machine they say more than the wall clock.
  if ! { TIMEFORMAT='%U %S'; time "$bin/${t}_fuzz" "${opts[@]}" "${limit[@]}" "$work/$t" \
      "$root/fuzz/corpus/$t" "${extra[@]}" >"$log" 2>&1; } 2>"$work/$t.cpu"; then
    tail -n 40 "$log" >&2
    echo "fuzz: $t failed; the input is kept under $work" >&2
    failed=1
  fi
  end=$(date +%s.%N)
  execs=$(awk '/stat::number_of_executed_units/{print $2}' "$log")
  rate=$(awk '/stat::average_exec_per_sec/{print $2}' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
  rss=$(awk '/stat::peak_rss_mb/{print $2}' "$log")
  cpu=$(awk '{print $1 + $2}' "$work/$t.cpu")
  printf '%-15s %10s execs %7s exec/s %8s exec/cpu-s  cov %5s  ft %6s  %7.1f s (%.1f cpu-s)  rss %s MB\n' \
    "$t" "${execs:-?}" "${rate:-?}" "$(awk -v n="${execs:-0}" -v c="$cpu" 'BEGIN{print (c > 0 ? int(n / c) : "?")}')" \
    "${cov:-?}" "${ft:-?}" "$(awk -v a="$start" -v b="$end" 'BEGIN{print b - a}')" "$cpu" "${rss:-?}"
done
exit "$failed"
