#!/usr/bin/env bash
# The download stays small: the program without the app it carries is at
# most 500 KiB, of which the Greek and Cyrillic letters of the three faces
# take about 18 KiB. The packed app is embedded byte for byte, so its file
# size is what it adds.
set -euo pipefail
limit=$((500 * 1024))
total=$(stat -c %s "$VESTRANA_SETUP")
packed=$(stat -c %s "$VESTRANA_BUILD/packed_app.xz")
own=$((total - packed))
echo "vestrana-setup.exe: $total bytes, of which the packed app $packed: $own bytes of program (limit $limit)"
[ "$own" -le "$limit" ] || { echo "the program grew past $limit bytes" >&2; exit 1; }
