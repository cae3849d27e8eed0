#!/usr/bin/env bash
# An update while another process holds "vestrana.exe" of the earlier
# installation open without sharing delete access, as antivirus scanners do
# with freshly written programs: a hold that ends 1.5 s after the setup
# began writing the file is waited out and the update succeeds; a hold that
# lasts the whole run fails the update cleanly, the old file byte for byte
# as it was and no temporary file left; the window names the system's
# refusal in its message (a sharing violation: the held file is the one
# that is moved aside). Each of the three files held for good in turn,
# during an update from an earlier installation whose three files all
# differ from the new ones, fails the update with all three files the
# earlier ones, byte for byte, and nothing else in the folder: the set is
# replaced all or nothing.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

dir=$(install_dir)
exe_win="$(install_dir_win)\\vestrana.exe"
expect_silent_run 0 "the first install exits 0"
# An earlier version's program, different from the one this setup carries.
make_earlier() {
  cp "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"
  printf 'earlier version' >>"$dir/vestrana.exe"
  reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
}
# Starts the holder on a file (Windows path) with its further arguments
# after the ready flag; waits until it holds the file.
hold() {
  local file=$1
  shift
  rm -f "$WINEPREFIX/drive_c/held"
  wine "$VESTRANA_HOLD_FILE" "$file" 'C:\held' "$@" >/dev/null 2>&1 &
  holder=$!
  for _ in $(seq 1 100); do [ -e "$WINEPREFIX/drive_c/held" ] && return 0; sleep 0.1; done
  return 1
}

make_earlier
check "the holder holds vestrana.exe" hold "$exe_win" "$(install_dir_win)\\vestrana.new" 1500
started=$(now)
expect_silent_run 0 "the update waits out a 1.5 s hold and exits 0"
check "the new program is in place" cmp -s "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"
check_eq "the entry has the new version" "$VESTRANA_VERSION" "$(reg_value "$uninstall_key" DisplayVersion || true)"
echo "     (the update took $(seconds_since "$started") s)"
wait "$holder" || true

make_earlier
old=$(sha256sum <"$dir/vestrana.exe")
check "the holder holds vestrana.exe for good" hold "$exe_win"
expect_silent_run 1 "an update against a lasting hold exits 1"
check_eq "the earlier program is byte for byte as it was" "$old" "$(sha256sum <"$dir/vestrana.exe")"
check_eq "no temporary file is left" "" "$(cd "$dir" && ls -- *.new 2>/dev/null)"
check_eq "the entry still has the earlier version" 1.1.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"

update_fails_on_screen 1.1.0 32
check_eq "the earlier program is still as it was" "$old" "$(sha256sum <"$dir/vestrana.exe")"
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true

earlier=$WINEPREFIX/earlier
mkdir -p "$earlier"
for name in vestrana.exe WebView2Loader.dll uninstall.exe; do
  cp "$dir/$name" "$earlier/$name"
  printf 'earlier version' >>"$earlier/$name"
done
before=$(cd "$earlier" && sha256sum -- * | sort)
for name in vestrana.exe WebView2Loader.dll uninstall.exe; do
  rm -rf "$dir" && mkdir -p "$dir" && cp "$earlier"/* "$dir/"
  reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
  check "the holder holds $name for good" hold "$(install_dir_win)\\$name"
  expect_silent_run 1 "with $name held the update exits 1"
  check_eq "with $name held the folder holds exactly the earlier three files" "$before" \
    "$(cd "$dir" && sha256sum -- * | sort)"
  check_eq "with $name held the entry still has the earlier version" 1.1.0 \
    "$(reg_value "$uninstall_key" DisplayVersion || true)"
  kill "$holder" 2>/dev/null || true
  wait "$holder" 2>/dev/null || true
done
finish
