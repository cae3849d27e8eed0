#!/usr/bin/env bash
# Releasing an app: scripts/release.sh refuses an app folder without the two
# files, or with files that are not 64-bit Windows programs, and a malformed
# version; it releases an app of this test's own (a tiny program and library
# built here) at version 1.3.0 from two copies of the source in different
# folders with identical bytes, SHA256SUMS checks, and the version resource
# says 1.3.0. The released setup shows "Version 1.3.0" on its welcome screen,
# and a silent install puts exactly those two files (and the uninstaller)
# into the install folder and records DisplayVersion 1.3.0.
source "$(dirname "$0")/lib.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
new_prefix
start_display
seed_webview2

work=$WINEPREFIX/release-work
app=$work/app
mkdir -p "$app"
# The app stand-in: a program and a loader library, each with a text of its
# own, so the installed files can only be these.
printf 'int main(void) { static volatile const char id[] = "release test app"; return id[0] == 0; }\n' >"$work/app.c"
printf '__declspec(dllexport) int CreateCoreWebView2Environment(void) { return 0x1300; }\n' >"$work/loader.c"
x86_64-w64-mingw32-gcc -Os -s -o "$app/vestrana.exe" "$work/app.c"
x86_64-w64-mingw32-gcc -Os -s -shared -o "$app/WebView2Loader.dll" "$work/loader.c"

# A copy of the source as it is (uncommitted changes included), without
# builds, releases and repository data.
copy_source() {
  mkdir -p "$1"
  tar -C "$root" --exclude=./build --exclude=./.git --exclude=./release -cf - . | tar -C "$1" -xf -
}
copy_source "$work/a"
release() { # copy, then the arguments of release.sh
  local copy=$1; shift
  (cd "$copy" && bash scripts/release.sh "$@" 2>&1)
}

# --- Refusals, before anything is built ---------------------------------------
refused() { # what the message must say, app folder, version
  local output rc=0
  output=$(release "$work/a" --app-dir "$2" --version "$3" --out "$work/refused") || rc=$?
  # CMake wraps its messages anywhere.
  [ "$rc" -ne 0 ] && tr -s ' \n' '  ' <<<"$output" | grep -qF -- "$1" && [ ! -e "$work/refused/vestrana-setup-$3.exe" ] ||
    { printf 'exit code %s, output:\n%s\n' "$rc" "$output" >&2; return 1; }
}
bad=$work/bad
mkdir -p "$bad/missing" "$bad/text" "$bad/x86" "$bad/swapped"
cp "$app/vestrana.exe" "$bad/missing/"
cp "$app/WebView2Loader.dll" "$bad/text/"
echo "not a program" >"$bad/text/vestrana.exe"
cp "$app/vestrana.exe" "$app/WebView2Loader.dll" "$bad/x86/"
# The same program marked for 32-bit x86 (machine 0x014c).
offset=$(od -An -tu4 -j 60 -N 4 "$bad/x86/vestrana.exe" | tr -d ' ')
printf '\x4c\x01' | dd of="$bad/x86/vestrana.exe" bs=1 seek=$((offset + 4)) conv=notrunc status=none
cp "$app/WebView2Loader.dll" "$bad/swapped/vestrana.exe"
cp "$app/vestrana.exe" "$bad/swapped/WebView2Loader.dll"
check "a folder without WebView2Loader.dll is refused" refused "has no WebView2Loader.dll" "$bad/missing" 1.3.0
check "a vestrana.exe that is no program is refused" refused "vestrana.exe is not a 64-bit Windows program" "$bad/text" 1.3.0
check "a 32-bit vestrana.exe is refused" refused "vestrana.exe is not a 64-bit Windows program" "$bad/x86" 1.3.0
check "a library as vestrana.exe is refused" refused "vestrana.exe is not a 64-bit Windows program" "$bad/swapped" 1.3.0
expected="expected one to four dot-separated numbers from 0 to 65535"
for version in 1.3.0-beta 1.3.0.0.1 1.65536.0 1.03.0 v1.3; do
  VESTRANA_RELEASE_BUILD=$work/bad-build check "version $version is refused when configuring" \
    refused "$expected" "$app" "$version"
done

# --- Two releases from two copies ---------------------------------------------
# The first copy builds everything, as a publisher's release does; the
# second uses the host tools of the build under test, which saves a minute
# and shows that they give the same setup.
copy_source "$work/second copy"
for copy in a "second copy"; do
  tools=
  [ "$copy" = a ] || tools=$VESTRANA_BUILD/host
  started=$(now)
  rc=0; output=$(VESTRANA_RELEASE_HOST_TOOLS=$tools release "$work/$copy" --app-dir "$app" --version 1.3.0) || rc=$?
  check_eq "the release from copy '$copy' succeeds" 0 "$rc"
  [ "$rc" -eq 0 ] || printf '%s\n' "$output" >&2
  echo "release from copy '$copy' took $(seconds_since "$started") s"
done
first=$work/a/release second="$work/second copy/release"
setup=$first/vestrana-setup-1.3.0.exe
check "it prints the setup's path and size" \
  grep -qxF "$second/vestrana-setup-1.3.0.exe"$'\t'"$(stat -c %s "$setup" 2>/dev/null) bytes" <<<"$output"
check "both releases give identical setups" cmp "$setup" "$second/vestrana-setup-1.3.0.exe"
check "and identical checksum files" cmp "$first/SHA256SUMS" "$second/SHA256SUMS"
check "SHA256SUMS names the setup and matches it" eval '(cd "$first" && sha256sum --quiet -c SHA256SUMS) &&
  grep -q "  vestrana-setup-1.3.0.exe\$" "$first/SHA256SUMS"'
check "an unsigned release has no signature" eval '[ ! -e "$first/SHA256SUMS.sig" ]'
check "the release is built in build/release, not build/windows" eval '[ ! -e "$work/a/build/windows" ] &&
  [ -f "$work/a/build/release/vestrana-setup.exe" ]'
versions=$(wine "$VESTRANA_FILE_VERSION" "$setup" 2>/dev/null | tr -d '\r') || true
check_eq "the version resource says 1.3.0" $'1.3.0.0\t1.3.0.0\t1.3.0\t1.3.0' "$versions"

# --- The released setup at work -------------------------------------------------
cp "$setup" "$WINEPREFIX/drive_c/vestrana-setup-1.3.0.exe"
launch 'C:\vestrana-setup-1.3.0.exe'
win=$(open_window 'vestrana Setup') || true
check "the released setup opens its window" test -n "$win"
subtitle=
read_tree && subtitle=$(awk -F'\t' '$1 == 2 { print $4 }' <<<"$tree")
check_eq "the welcome screen reads Version 1.3.0" "Desktop app for Windows · Version 1.3.0" "$subtitle"
[ -n "$win" ] && press_key "$win" Escape
wait_exit "$launch_pid" 10
check "Escape closes the welcome screen" test "$exit_code" != running

rc=0; run_wine 'C:\vestrana-setup-1.3.0.exe' --silent || rc=$?
check_eq "the released setup installs silently" 0 "$rc"
dir=$(install_dir)
check_eq "the install folder holds the app's two files and the uninstaller" \
  "WebView2Loader.dll uninstall.exe vestrana.exe" "$(cd "$dir" && ls | LC_ALL=C sort | xargs)"
check "vestrana.exe is the app's program" cmp "$dir/vestrana.exe" "$app/vestrana.exe"
check "WebView2Loader.dll is the app's library" cmp "$dir/WebView2Loader.dll" "$app/WebView2Loader.dll"
check "uninstall.exe is the released setup" cmp "$dir/uninstall.exe" "$setup"
check_eq "DisplayVersion is 1.3.0" 1.3.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"
finish
