#!/usr/bin/env bash
# Runs every test: native unit tests (also the threaded parts under
# ThreadSanitizer), then the Windows program end to end under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

bash scripts/bootstrap.sh

echo "== native build and unit tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --test-dir build/linux -j "$jobs" --output-on-failure

echo "== progress record and worker under ThreadSanitizer"
cmake --preset linux-tsan >/dev/null
cmake --build --preset linux-tsan -j "$jobs" --target tests_core
build/linux-tsan/tests/tests_core --gtest_brief=1 --gtest_filter='ProgressRecord*:RecordLifetime*:Worker*'

echo "== Windows build and end-to-end tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --test-dir build/windows -j "$jobs" --output-on-failure
