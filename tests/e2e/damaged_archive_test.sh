#!/usr/bin/env bash
# A setup whose packed app is damaged fails with exit code 1 and leaves an
# earlier install exactly as it was.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

silent_install "the intact setup installs"
before=$(cd "$dir" && sha256sum * | sort)

rc=0; run_wine "$VESTRANA_SETUP_DAMAGED" --silent || rc=$?
check_eq "the damaged setup exits 1" 1 "$rc"
after=$(cd "$dir" && sha256sum * | sort)
check_eq "the installed files are byte-identical" "$before" "$after"

rm -rf "$dir"
rc=0; run_wine "$VESTRANA_SETUP_DAMAGED" --silent || rc=$?
check_eq "the damaged setup exits 1 on a fresh machine" 1 "$rc"
check "and writes no application file" test ! -e "$dir/vestrana.exe"
finish
