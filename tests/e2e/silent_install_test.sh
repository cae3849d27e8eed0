#!/usr/bin/env bash
# A silent install on a fresh machine: the app's files land in the install
# folder with their packed contents, and every spelling of the flag works.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
check_eq "--silent exits 0" 0 "$rc"
dir=$(install_dir)
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "WebView2Loader.dll is the packed library" cmp -s "$dir/WebView2Loader.dll" "$VESTRANA_BUILD/standin/WebView2Loader.dll"
check "uninstall.exe is a copy of the setup" cmp -s "$dir/uninstall.exe" "$VESTRANA_SETUP"
check "no temporary files are left" test -z "$(find "$dir" -name '*.new')"

for flag in /s --SILENT /S; do
  rm -rf "$dir"
  rc=0; run_wine "$VESTRANA_SETUP" "$flag" || rc=$?
  check_eq "$flag exits 0" 0 "$rc"
  check "$flag installs vestrana.exe" test -f "$dir/vestrana.exe"
done
finish
