#!/usr/bin/env bash
# Fuzzing throughput: builds the `fuzz` preset and runs each fuzz target for
# the given number of executions (default 10 million), one at a time,
# printing executions per second and coverage per target.
#   bench/fuzz.sh [executions] [target...]
# FUZZ_MAX_SECONDS=N also stops each target after N seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10000000}
shift $(($# > 0 ? 1 : 0))
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
exec bash "$root/fuzz/run.sh" runs "$runs" "$@"
