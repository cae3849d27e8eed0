#!/usr/bin/env bash
# The download stays small: the program without the app it carries is at
# most 548 KiB. Of that, the Greek and Cyrillic letters of the three faces
# take about 18 KiB, the admin log with the all-or-nothing replacement of
# the installed files about 35 KiB, the removal's cleanup helper that
# waits on processes instead of a command interpreter about 11 KiB, the
# system fallback faces about 5 KiB and ending the app when it runs
# elevated, from behind a junction or with its WebView2 processes about
# 4 KiB. The packed app is embedded byte for
# byte, so its file size is what it adds.
set -euo pipefail
limit=$((548 * 1024))
total=$(stat -c %s "$VESTRANA_SETUP")
packed=$(stat -c %s "$VESTRANA_BUILD/packed_app.xz")
own=$((total - packed))
echo "vestrana-setup.exe: $total bytes, of which the packed app $packed: $own bytes of program (limit $limit)"
[ "$own" -le "$limit" ] || { echo "the program grew past $limit bytes" >&2; exit 1; }
