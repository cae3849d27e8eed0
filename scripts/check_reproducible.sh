#!/usr/bin/env bash
# Builds the Windows program a second time, cleanly and without a compiler
# cache, from a copy of this checkout in another folder, and compares the
# shipped files byte for byte with the ones in build/windows (which must be
# built already). Anyone can thus check that a published binary comes from
# the published source.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
first=$root/build/windows
files=(vestrana-setup.exe standin/vestrana.exe standin/WebView2Loader.dll)
for f in "${files[@]}"; do
  [ -f "$first/$f" ] || { echo "check_reproducible: build the windows preset first (no $f)" >&2; exit 2; }
done

copy=$(mktemp -d "${TMPDIR:-/tmp}/vestrana-repro.XXXXXX")
trap 'rm -rf "$copy"' EXIT
# The working tree as it is (uncommitted changes included), without builds
# and repository data.
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -

export CCACHE_DISABLE=1 # a cache could hand back objects compiled in the first folder
(cd "$copy" && cmake --preset windows >/dev/null)
cmake --build "$copy/build/windows" -j "$(nproc)" --target vestrana-setup >/dev/null

result=0
for f in "${files[@]}"; do
  if cmp -s "$first/$f" "$copy/build/windows/$f"; then
    echo "reproducible: $f"
  else
    echo "NOT reproducible: $f ($(cmp "$first/$f" "$copy/build/windows/$f" | head -n 1))"
    result=1
  fi
done
exit "$result"
