#!/usr/bin/env bash
# Builds the setup program and runs it under Wine in a private prefix inside
# the build folder (build/windows/wine-run), with the window on the current
# display, or on a virtual display when there is none. Arguments pass through
# to the program (for example --silent, or --uninstall).
#
# The private prefix is prepared as a machine that already has the WebView2
# runtime, so that an install works without internet. Set
# VESTRANA_REAL_WEBVIEW2=1 to leave that out and see the real download path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" >/dev/null

export WINEPREFIX=$root/build/windows/wine-run WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
if [ ! -f "$WINEPREFIX/.complete" ]; then
  echo "Preparing the Wine prefix $WINEPREFIX ..."
  bash tests/e2e/make_template_prefix.sh "$WINEPREFIX"
fi
key='HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
if [ -z "${VESTRANA_REAL_WEBVIEW2:-}" ]; then
  wine reg add "$key" /v pv /t REG_SZ /d 120.0.2210.91 /f >/dev/null 2>&1
else
  wine reg delete "$key" /f >/dev/null 2>&1 || true
fi

exe=$root/build/windows/vestrana-setup.exe
if [ -n "${DISPLAY:-}" ]; then
  set +e; wine "$exe" "$@"; rc=$?; set -e
else
  echo "No display: running on a virtual display (Xvfb)."
  set +e
  xvfb-run -a -s "-screen 0 1280x800x24" bash -c 'openbox --sm-disable >/dev/null 2>&1 & wine "$0" "$@"' "$exe" "$@"
  rc=$?
  set -e
fi
wineserver -w
echo "vestrana-setup.exe exited with code $rc"
exit "$rc"
