# Shared helpers of the end-to-end tests. Each test runs the real program
# under Wine in its own copy of the template prefix.
set -euo pipefail

: "${VESTRANA_TEMPLATE_PREFIX:?}"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=${LC_ALL:-en_US.UTF-8}

failures=0
test_name=$(basename "$0" .sh)

new_prefix() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vestrana-e2e.XXXXXX")
  export WINEPREFIX
  cp -a "$VESTRANA_TEMPLATE_PREFIX/." "$WINEPREFIX/"
  trap cleanup_prefix EXIT
}

cleanup_prefix() {
  local rc=$?
  wineserver -k 2>/dev/null || true
  [ -n "${KEEP_PREFIX:-}" ] || rm -rf "$WINEPREFIX"
  if [ "$rc" -eq 0 ] && [ "$failures" -gt 0 ]; then exit 1; fi
}

wine_user() { echo "${USER:-$(id -un)}"; }
# Unix paths of the user's folders inside the prefix.
local_appdata() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/AppData/Local"; }
roaming_appdata() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/AppData/Roaming"; }
install_dir() { echo "$(local_appdata)/vestrana"; }
programs_dir() { echo "$(roaming_appdata)/Microsoft/Windows/Start Menu/Programs"; }
desktop_dir() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/Desktop"; }
# The Windows spelling of the install folder.
install_dir_win() { echo "C:\\users\\$(wine_user)\\AppData\\Local\\vestrana"; }

# Runs a program under Wine and prints nothing; returns its exit code.
run_wine() { wine "$@" >/dev/null 2>&1; }

# One registry value's data as `wine reg query` prints it (CRLF removed),
# or nothing (exit 1) when the value does not exist.
reg_value() {
  local key=$1 name=$2 out
  out=$(wine reg query "$key" /v "$name" 2>/dev/null | tr -d '\r') || return 1
  printf '%s\n' "$out" | awk -v n="$name" '
    { line=$0; sub(/^[ \t]+/, "", line) }
    index(line, n) == 1 { rest=substr(line, length(n)+1); sub(/^[ \t]+/, "", rest);
      type=rest; sub(/[ \t].*$/, "", type); data=substr(rest, length(type)+1);
      sub(/^[ \t]+/, "", data); print data; found=1 }
    END { exit !found }'
}

reg_add() { wine reg add "$@" /f >/dev/null 2>&1; }

seed_webview2() {
  reg_add 'HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}' /v pv /t REG_SZ /d 120.0.2210.91
}

check() { # description, command...
  local what=$1; shift
  if "$@"; then
    printf 'ok   %s: %s\n' "$test_name" "$what"
  else
    printf 'FAIL %s: %s\n' "$test_name" "$what"
    failures=$((failures + 1))
  fi
}

check_eq() { # description, expected, actual
  if [ "$2" == "$3" ]; then
    printf 'ok   %s: %s\n' "$test_name" "$1"
  else
    printf 'FAIL %s: %s\n     expected: %q\n     actual:   %q\n' "$test_name" "$1" "$2" "$3"
    failures=$((failures + 1))
  fi
}

finish() { [ "$failures" -eq 0 ]; }
