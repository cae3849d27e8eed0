#!/usr/bin/env bash
# Prepares the Wine prefix that every end-to-end test copies (a fresh prefix
# takes several seconds to create, a copy about two). Idempotent.
set -euo pipefail
template=$1
[ -f "$template/.complete" ] && exit 0
rm -rf "$template"
# winemenubuilder would copy every shortcut into the Unix desktop's menus.
export WINEPREFIX=$template WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wineboot -i >/dev/null 2>&1
wineserver -w
# Wine links Desktop, Documents and the like to the Unix home folder; plain
# folders keep every shortcut the setup makes inside the prefix.
for folder in "$template/drive_c/users/${USER:-$(id -un)}"/*; do
  if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
done
touch "$template/.complete"
