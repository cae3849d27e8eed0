#!/usr/bin/env bash
# Prepares the Wine prefix that every end-to-end test copies (a fresh prefix
# takes several seconds to create, a copy about two). Idempotent.
set -euo pipefail
template=$1
[ -f "$template/.complete" ] && exit 0
rm -rf "$template"
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1
wineserver -w
touch "$template/.complete"
