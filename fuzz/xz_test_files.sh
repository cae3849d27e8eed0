#!/usr/bin/env bash
# Prints the folder holding xz-utils' own test files (good, bad and
# unsupported .xz streams), the extra seed corpus of the packed-app fuzzer.
# They come from Debian's source package of the xz-utils this machine has,
# fetched once into the dependency cache outside the tree.
set -euo pipefail
cache=${VESTRANA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vestrana}
ver=$(apt-cache showsrc xz-utils 2>/dev/null | awk '/^Version:/{print $2}' | sort -V | tail -n 1)
[ -n "$ver" ] || { echo "no source package xz-utils (run scripts/bootstrap.sh)" >&2; exit 1; }
dir="$cache/xz-test-files/$ver"
if [ ! -f "$dir/.complete" ]; then
  work=$(mktemp -d "$cache/src-xz-tests.XXXX")
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get source -q "xz-utils=$ver" >/dev/null 2>&1) ||
    { echo "apt-get source xz-utils=$ver failed" >&2; exit 1; }
  src=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  rm -rf "$dir"
  mkdir -p "$dir"
  cp "$src"/tests/files/*.xz "$dir/"
  touch "$dir/.complete"
fi
echo "$dir"
