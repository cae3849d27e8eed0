#!/usr/bin/env bash
# Builds the setup of one release of the app:
#
#   scripts/release.sh --app-dir DIR --version X.Y.Z [--out DIR]
#
# DIR holds the app's build: "vestrana.exe" and "WebView2Loader.dll", both
# 64-bit Windows programs. The setup is built in a build folder of its own
# (build/release, or VESTRANA_RELEASE_BUILD), so build/windows and its tests
# stay as they are, with the version set once for the program, its version
# resource and its uninstall entry. When a key is configured (the
# VESTRANA_SIGN_* settings of scripts/sign.sh) the setup is signed, and so is
# SHA256SUMS. Writes vestrana-setup-X.Y.Z.exe and SHA256SUMS (with
# SHA256SUMS.sig when signed) into the output folder (default: release/) and
# prints their paths and sizes.
#
# The same app folder and version give the same bytes from any checkout of
# the same source (unsigned, or signed with VESTRANA_SIGN_TIME fixed).
# VESTRANA_RELEASE_HOST_TOOLS may name the "host" folder of another build
# folder of the same source, whose packer and icon painter are then used
# instead of building them again (they give the same output).
set -euo pipefail

# The PIN or password before anything is started, exactly as scripts/sign.sh
# takes it: into a shell variable that is not exported, out of the
# environment, so that neither the build nor a trace nor a process list ever
# sees it; sign.sh gets it on a file descriptor.
secret=
if [ "${VESTRANA_SIGN_PKCS11_MODULE+set}" = set ] && [ "${VESTRANA_SIGN_PIN+set}" = set ]; then
  IFS= read -r secret <<<"$VESTRANA_SIGN_PIN" || true
elif [ "${VESTRANA_SIGN_PASSWORD+set}" = set ]; then
  IFS= read -r secret <<<"$VESTRANA_SIGN_PASSWORD" || true
fi
unset VESTRANA_SIGN_PIN VESTRANA_SIGN_PASSWORD VESTRANA_SIGN_SECRET_FD

die() { printf 'release: %s\n' "$*" >&2; exit 2; }
usage="usage: release.sh --app-dir DIR --version X.Y.Z [--out DIR]"
root=$(cd "$(dirname "$0")/.." && pwd)
app='' version='' out=$root/release
while [ $# -gt 0 ]; do
  case $1 in
    --app-dir) [ $# -ge 2 ] || die "$usage"; app=$2; shift 2 ;;
    --version) [ $# -ge 2 ] || die "$usage"; version=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || die "$usage"; out=$2; shift 2 ;;
    *) die "$usage" ;;
  esac
done
[ -n "$app" ] && [ -n "$version" ] || die "$usage"

# Whether a file is a 64-bit (x64) Windows program: "MZ", the PE signature
# where the DOS header points, machine 0x8664 and the PE32+ optional header.
# With a second argument "dll" it must be a library, else it must not be one.
windows_x64_program() { # file, exe|dll
  local file=$1 offset
  [ "$(head -c 2 "$file")" = MZ ] || return 1
  offset=$(od -An -tu4 -j 60 -N 4 "$file" | tr -d ' ')
  [ -n "$offset" ] || return 1
  [ "$(od -An -tx1 -j "$offset" -N 4 "$file" | tr -d ' ')" = 50450000 ] || return 1
  [ "$(od -An -tx2 -j $((offset + 4)) -N 2 "$file" | tr -d ' ')" = 8664 ] || return 1
  [ "$(od -An -tx2 -j $((offset + 24)) -N 2 "$file" | tr -d ' ')" = 020b ] || return 1
  local flags; flags=$(od -An -tu2 -j $((offset + 22)) -N 2 "$file" | tr -d ' ')
  if [ "$2" = dll ]; then (( flags & 0x2000 )); else (( !(flags & 0x2000) )); fi
}

[ -d "$app" ] || die "--app-dir names no folder: $app"
app=$(cd "$app" && pwd)
for pair in vestrana.exe:exe WebView2Loader.dll:dll; do
  file=${pair%%:*} kind=${pair##*:}
  [ -f "$app/$file" ] || die "$app has no $file; the app folder must hold vestrana.exe and WebView2Loader.dll"
  windows_x64_program "$app/$file" "$kind" ||
    die "$app/$file is not a 64-bit Windows $([ "$kind" = dll ] && echo library || echo program)"
done

build=${VESTRANA_RELEASE_BUILD:-$root/build/release}
mkdir -p "$build"
build=$(cd "$build" && pwd)
[ "$build" != "$root/build/windows" ] || die "the release is never built in build/windows (its tests use it)"

signing=
if [ -n "${VESTRANA_SIGN_PKCS11_MODULE:-}" ] || [ -n "${VESTRANA_SIGN_PKCS12:-}" ] ||
   { [ -n "${VESTRANA_SIGN_CERT:-}" ] && [ -n "${VESTRANA_SIGN_KEY:-}" ]; }; then
  signing=yes
fi

started=$(date +%s)
log=$build/release.log
# CMake refuses a malformed version itself, saying what is expected.
(cd "$root" && cmake --preset windows -B "$build" -DVESTRANA_APP_DIR="$app" -DVESTRANA_VERSION="$version" \
  -DVESTRANA_HOST_TOOLS_DIR="${VESTRANA_RELEASE_HOST_TOOLS:-}") \
  >"$log" 2>&1 || { grep -A4 'CMake Error' "$log" >&2 || tail -n 20 "$log" >&2; die "configuring failed ($log)"; }
cmake --build "$build" --target vestrana-setup -j "$(nproc)" >>"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; die "building failed ($log)"; }
echo "built in $(($(date +%s) - started)) s: $build/vestrana-setup.exe"

mkdir -p "$out"
out=$(cd "$out" && pwd)
setup=$out/vestrana-setup-$version.exe
rm -f "$out/SHA256SUMS" "$out/SHA256SUMS.sig"
if [ -n "$signing" ]; then
  given=
  case $secret in ?*) given=yes ;; esac # (a trace shows a test's words, not a case's)
  if [ "$given" = yes ]; then
    VESTRANA_SIGN_SECRET_FD=3 bash "$root/scripts/sign.sh" "$build/vestrana-setup.exe" "$setup" 3<<<"$secret"
  else
    bash "$root/scripts/sign.sh" "$build/vestrana-setup.exe" "$setup"
  fi
else
  cp -f "$build/vestrana-setup.exe" "$setup"
  (cd "$out" && sha256sum "$(basename "$setup")" >SHA256SUMS)
fi
secret=

for file in "$setup" "$out/SHA256SUMS" "$out/SHA256SUMS.sig"; do
  [ -f "$file" ] && printf '%s\t%s bytes\n' "$file" "$(stat -c %s "$file")"
done
exit 0
