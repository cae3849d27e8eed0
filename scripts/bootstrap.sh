#!/usr/bin/env bash
# Makes a fresh Debian 12 machine ready to build and test the setup program:
# Debian packages, the static MinGW-w64 builds of liblzma and FreeType (from
# Debian's own source packages) and the Inter fonts from the npm package.
# Idempotent: a second run only checks and returns within seconds.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${VESTRANA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vestrana}
mkdir -p "$cache"

log() { printf 'bootstrap: %s\n' "$*"; }

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

packages=(
  build-essential cmake ninja-build pkg-config dpkg-dev xz-utils clang-14 libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libgtest-dev libgmock-dev googletest libbenchmark-dev liblzma-dev libfreetype-dev zlib1g-dev libpng-dev
  wine wine64 xvfb xdotool x11-utils imagemagick openbox
  python3 python3-fonttools python3-brotli nodejs npm locales curl openssl
  softhsm2 libengine-pkcs11-openssl opensc
  fonts-wqy-microhei
  clang-format-14 shellcheck
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# npm may come with nodejs from another repository; a working npm is enough.
if command -v npm >/dev/null 2>&1; then
  missing=("${missing[@]/npm}")
  command -v node >/dev/null 2>&1 && missing=("${missing[@]/nodejs}")
fi
read -r -a missing <<<"${missing[*]}"
if [ "${#missing[@]}" -gt 0 ]; then
  log "installing ${missing[*]}"
  as_root apt-get update -q
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# osslsigncode signs releases (scripts/sign.sh); the end-to-end test needs
# 2.6 or later, which can act as its own time-stamping authority, so it comes
# from the backports suite of the machine's own Debian archive.
ensure_backports() {
  local list=/etc/apt/sources.list.d/vestrana-backports.sources uri
  [ -f "$list" ] && return 0
  uri=$( { grep -hE '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | sed 's/^URIs://'
           grep -hE '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null; } |
         tr ' \t' '\n\n' | grep -E '^[a-z+]+://.*/debian/?$' | head -n 1 || true)
  [ -n "$uri" ] || { log "no Debian archive in the apt sources for $1-backports"; exit 1; }
  printf 'Types: deb\nURIs: %s\nSuites: %s-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" "$1" | as_root tee "$list" >/dev/null
  as_root apt-get update -q
}
signer_version=$(dpkg-query -W -f='${Version}' osslsigncode 2>/dev/null || true)
if [ -z "$signer_version" ] || dpkg --compare-versions "$signer_version" lt 2.6; then
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  ensure_backports "$codename"
  log "installing osslsigncode from $codename-backports"
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends -t "$codename-backports" osslsigncode
fi

# Wine takes the user-interface language from LC_ALL; the tests run the
# program in English, German and Turkish.
wanted_locales=(en_US.UTF-8 de_DE.UTF-8 tr_TR.UTF-8)
missing_locales=()
for l in "${wanted_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}" || missing_locales+=("$l")
done
if [ "${#missing_locales[@]}" -gt 0 ]; then
  for l in "${missing_locales[@]}"; do
    as_root sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
  done
  as_root locale-gen >/dev/null
fi

# MinGW-w64 defaults to the win32 thread model; std::thread needs posix.
for tool in g++ gcc; do
  if [ "$(readlink -f "/usr/bin/x86_64-w64-mingw32-$tool")" != "/usr/bin/x86_64-w64-mingw32-$tool-posix" ]; then
    as_root update-alternatives --set "x86_64-w64-mingw32-$tool" "/usr/bin/x86_64-w64-mingw32-$tool-posix" >/dev/null 2>&1 || true
  fi
done

# Source packages: add deb-src entries that mirror the machine's own deb entries.
ensure_deb_src() {
  local list=/etc/apt/sources.list.d/vestrana-deb-src.sources
  local legacy=/etc/apt/sources.list.d/vestrana-deb-src.list
  [ -f "$list" ] || [ -f "$legacy" ] && return 0
  local tmp tmp_legacy f
  tmp=$(mktemp); tmp_legacy=$(mktemp)
  # deb822 files: every enabled stanza of Debian's archive whose Types include
  # "deb", once more with Types "deb-src" (plain POSIX awk, stanza by stanza).
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk '
      function flush() {
        if (n && binary && debian && enabled) { for (i = 1; i <= n; i++) print lines[i]; print "" }
        n = 0; binary = 0; debian = 0; enabled = 1
      }
      BEGIN { n = 0; enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      {
        line = $0
        if (line ~ /^Types:/) {
          k = split(substr(line, 7), types, /[ \t]+/)
          for (i = 1; i <= k; i++) if (types[i] == "deb") binary = 1
          line = "Types: deb-src"
        }
        if (line ~ /^Enabled:[ \t]*[Nn][Oo]/) enabled = 0
        if (line ~ /^URIs:.*debian/) debian = 1
        lines[++n] = line
      }
      END { flush() }' "$f" >>"$tmp"
  done
  # One-line format: "deb [options] uri suite components" becomes deb-src.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    grep -E '^[[:space:]]*deb[[:space:]].*debian' "$f" | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >>"$tmp_legacy" || true
  done
  [ -s "$tmp" ] && as_root cp "$tmp" "$list"
  [ -s "$tmp_legacy" ] && as_root cp "$tmp_legacy" "$legacy"
  rm -f "$tmp" "$tmp_legacy"
  as_root apt-get update -q >&2
}

# Version of a source package as apt would fetch it, e.g. 5.4.1-1+deb12u2.
source_version() {
  apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/{print $2}' | sort -V | tail -n 1
}

toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc)

build_mingw_lib() { # package, configure+build function
  # It runs in a command substitution, which does not inherit errexit: a
  # failed build must stop here, not be marked complete.
  set -e
  local pkg=$1 fn=$2 rev ver prefix work
  # The prefix is named after a digest of the build function and the
  # toolchain, so a change of flags or options builds the library anew.
  rev=$( { declare -f "$fn"; cat "$toolchain"; } | sha256sum | cut -c1-10)
  ver=$(source_version "$pkg")
  if [ -z "$ver" ]; then ensure_deb_src >&2; ver=$(source_version "$pkg"); fi
  [ -n "$ver" ] || { log "no source package $pkg"; exit 1; }
  prefix="$cache/mingw/$pkg-$ver-$rev"
  if [ -f "$prefix/.complete" ]; then echo "$prefix"; return; fi
  ensure_deb_src >&2
  work=$(mktemp -d "$cache/src-$pkg.XXXX")
  log "building $pkg $ver for MinGW-w64" >&2
  (cd "$work" && apt-get source -q "$pkg=$ver" >&2)
  local srcdir; srcdir=$(find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  rm -rf "$prefix"
  "$fn" "$srcdir" "$prefix" >&2
  touch "$prefix/.complete"
  rm -rf "$work"
  echo "$prefix"
}

# Both libraries are built for size: MinSizeRel, because CMake puts the build
# type's flags after CMAKE_C_FLAGS, so Release's -O3 would override -Os.
# They are hardened as our own code is (stack canaries, fortified string and
# memory calls). The flags are written out in the functions below: their text
# names the prefix, so a change of flags builds the libraries anew.
configure_xz() {
  local src=$1 prefix=$2
  # liblzma's small variant, as its own build offers it (HAVE_SMALL): the
  # check tables are computed at start instead of stored (8 KiB each for
  # CRC32 and CRC64) and the decoder's loops are not unrolled. The packed
  # app is about 100 KB, so decoding it stays a matter of milliseconds.
  sed -i -e 's|src/liblzma/check/crc32_fast.c|src/liblzma/check/crc32_small.c|' \
    -e 's|src/liblzma/check/crc64_fast.c|src/liblzma/check/crc64_small.c|' \
    -e '\|src/liblzma/check/crc32_table.c|d' -e '\|src/liblzma/check/crc64_table.c|d' \
    -e '\|src/liblzma/lzma/fastpos_table.c|d' "$src/CMakeLists.txt"
  grep -q 'crc32_small.c' "$src/CMakeLists.txt"
  grep -q 'crc64_small.c' "$src/CMakeLists.txt"
  # The packed app is one LZMA2 stream with a CRC32 check, and the program
  # decodes nothing else: the SHA-256 check and the branch and delta filters
  # (12 KB of the program) are left out. A stream that needs them is refused
  # as damaged, as any check the decoder does not know is.
  sed -i -e '/^    HAVE_CHECK_SHA256$/d' \
    -e '/^    HAVE_\(DE\|EN\)CODER_\(ARM\|ARMTHUMB\|ARM64\|DELTA\|IA64\|POWERPC\|SPARC\|X86\)$/d' \
    -e '\|src/liblzma/check/sha256.c|d' -e '\|src/liblzma/delta/delta_[a-z]*\.c|d' \
    -e '\|src/liblzma/simple/[a-z0-9_]*\.c|d' "$src/CMakeLists.txt"
  if grep -q 'HAVE_CHECK_SHA256\|simple/x86.c' "$src/CMakeLists.txt"; then
    log "liblzma's build no longer lists its filters as expected"
    exit 1
  fi
  cmake -S "$src" -B "$src/build-mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="-Os -ffunction-sections -fdata-sections -fstack-protector-strong -D_FORTIFY_SOURCE=2 -DHAVE_SMALL"
  cmake --build "$src/build-mingw" --target liblzma -j "$jobs"
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$src/build-mingw/liblzma.a" "$prefix/lib/"
  cp -r "$src/src/liblzma/api/lzma" "$src/src/liblzma/api/lzma.h" "$prefix/include/"
}

configure_freetype() {
  local src=$1 prefix=$2
  # Only what TrueType outlines need: the driver, sfnt tables and the
  # anti-aliasing renderer. The stroker and outline code live in base.
  cat >"$src/include/freetype/config/ftmodule.h" <<'MODULES'
FT_USE_MODULE( FT_Driver_ClassRec, tt_driver_class )
FT_USE_MODULE( FT_Module_Class, sfnt_module_class )
FT_USE_MODULE( FT_Renderer_Class, ft_smooth_renderer_class )
MODULES
  # Unhinted outlines of static TrueType fonts are all the program draws: no
  # bytecode interpreter, no variations, no bitmap, colour or SVG glyphs, no
  # compressed or Mac font containers, no glyph names.
  local option
  for option in FT_CONFIG_OPTION_USE_LZW FT_CONFIG_OPTION_USE_ZLIB FT_CONFIG_OPTION_POSTSCRIPT_NAMES \
      FT_CONFIG_OPTION_ADOBE_GLYPH_LIST FT_CONFIG_OPTION_MAC_FONTS FT_CONFIG_OPTION_GUESSING_EMBEDDED_RFORK \
      FT_CONFIG_OPTION_INCREMENTAL FT_CONFIG_OPTION_SVG TT_CONFIG_OPTION_EMBEDDED_BITMAPS \
      TT_CONFIG_OPTION_COLOR_LAYERS TT_CONFIG_OPTION_POSTSCRIPT_NAMES TT_CONFIG_OPTION_SFNT_NAMES \
      TT_CONFIG_OPTION_BYTECODE_INTERPRETER TT_CONFIG_OPTION_SUBPIXEL_HINTING \
      TT_CONFIG_OPTION_GX_VAR_SUPPORT TT_CONFIG_OPTION_BDF; do
    sed -i "s|^#define $option\b.*|/* $option left out */|" "$src/include/freetype/config/ftoption.h"
  done
  # The anti-aliasing renderer keeps its cells in a pool on the stack and
  # cuts a shape into bands, each of which walks the whole outline again,
  # when they do not fit. The default 16 KiB holds about 85 rows, so every
  # card shadow was drawn in two to five bands; 128 KiB holds a whole
  # shadow up to a scale of 1.5 (a tenth to a sixth less work per frame) and
  # is a small part of the window thread's 2 MiB stack.
  sed -i 's|^#define FT_RENDER_POOL_SIZE .*|#define FT_RENDER_POOL_SIZE  131072L|' \
    "$src/include/freetype/config/ftoption.h"
  grep -q '^#define FT_RENDER_POOL_SIZE  131072L' "$src/include/freetype/config/ftoption.h"
  cmake -S "$src" -B "$src/build-mingw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DBUILD_SHARED_LIBS=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON \
    -DCMAKE_C_FLAGS="-Os -ffunction-sections -fdata-sections -fstack-protector-strong -D_FORTIFY_SOURCE=2"
  cmake --build "$src/build-mingw" -j "$jobs"
  cmake --install "$src/build-mingw" >/dev/null
}

xz_prefix=$(build_mingw_lib xz-utils configure_xz)
ft_prefix=$(build_mingw_lib freetype configure_freetype)

# Inter 4.0 from the npm package. The tarball must be the one the registry
# published (its SHA-512 integrity, pinned here) before anything is taken
# from it; the cache records the integrity it was checked against, so a
# cache from before the check, or for another pin, is fetched again.
inter="$cache/npm/inter-ui-4.0.1"
inter_integrity=sha512-hg6LBzJIYSDDpEX45b4X90ieGh0CJ7XnaaXRt9zZS65y/fiW2WwAEyXArjToJJKFO8H6MSozLO2T35WVOhJFrg==
if [ "$(cat "$inter/.complete" 2>/dev/null)" != "$inter_integrity" ]; then
  log "fetching inter-ui 4.0.1"
  rm -rf "$inter"; mkdir -p "$inter"
  (cd "$inter" && npm pack --silent inter-ui@4.0.1 >/dev/null)
  actual=sha512-$(openssl dgst -sha512 -binary "$inter/inter-ui-4.0.1.tgz" | base64 -w 0)
  if [ "$actual" != "$inter_integrity" ]; then
    rm -rf "$inter"
    log "inter-ui-4.0.1.tgz is not the published package: its integrity is $actual, expected $inter_integrity"
    exit 1
  fi
  (cd "$inter" && tar xzf inter-ui-4.0.1.tgz && rm inter-ui-4.0.1.tgz)
  echo "$inter_integrity" >"$inter/.complete"
fi

# What the builds read: one CMake file with the dependency locations.
cat >"$cache/deps.cmake.tmp" <<CM
set(VESTRANA_MINGW_LZMA_PREFIX "$xz_prefix")
set(VESTRANA_MINGW_FREETYPE_PREFIX "$ft_prefix")
set(VESTRANA_INTER_DIR "$inter/package")
CM
mv "$cache/deps.cmake.tmp" "$cache/deps.cmake"
log "ready ($cache)"
