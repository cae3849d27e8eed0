#!/usr/bin/env bash
# Runs every test: native unit tests (also the threaded parts under
# ThreadSanitizer, and all of them under AddressSanitizer and
# UndefinedBehaviorSanitizer), the fuzz targets for a short while, then the
# Windows program end to end under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/bootstrap.sh

# Style: the C and C++ sources as .clang-format describes them, and the
# shell scripts without shellcheck warnings (.shellcheckrc files say where
# sourced scripts are).
echo "== formatting and shell lint"
git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format-14 --dry-run -Werror
git ls-files -z '*.sh' | xargs -0 shellcheck -S warning

echo "== native build and unit tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --test-dir build/linux -j "$jobs" --output-on-failure

echo "== progress record and worker under ThreadSanitizer"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j "$jobs" --target tests_core
build/linux-tsan/tests/tests_core --gtest_brief=1 --gtest_filter='ProgressRecord*:RecordLifetime*:Worker*'

# --- AddressSanitizer and UndefinedBehaviorSanitizer: the whole unit suite
# (without the host tools and benchmarks, which it does not need).
echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset linux-asan >/dev/null
cmake --build --preset linux-asan -j "$jobs"
UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir build/linux-asan -j "$jobs" --output-on-failure

# --- Fuzzing: every libFuzzer target for a short while on its corpus.
echo "== fuzz targets, 20 s each"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
bash fuzz/run.sh seconds 20

echo "== Windows build and end-to-end tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# The window tests wait for the window to answer and confirm every action
# by the state it changes, and run one at a time: a test passes the first
# time or fails the run.
ctest --test-dir build/windows -j "$jobs" --output-on-failure

# Reproducible builds: a second clean build of the Windows program from a
# copy of the checkout in another folder, without a compiler cache, gives
# the same bytes.
echo "== reproducible Windows build"
bash scripts/check_reproducible.sh
