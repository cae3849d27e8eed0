# Shared helpers of the end-to-end tests. Each test runs the real program
# under Wine in its own copy of the template prefix. Many of the variables
# set here are read only by the scripts that source this file.
# shellcheck shell=bash disable=SC2034
set -euo pipefail
# A command that stops the test outside a check says which one it was, so a
# failure never shows as a test that merely ended early.
set -E
trap 'on_error "$?" "$LINENO" "$BASH_COMMAND"' ERR
on_error() {
  [ "$BASH_SUBSHELL" -eq 0 ] || return 0
  printf 'FAIL %s: line %s: "%s" exited with status %s\n' "$test_name" "$2" "$3" "$1" >&2
}

: "${VESTRANA_TEMPLATE_PREFIX:?}"
# winemenubuilder would copy every shortcut into the Unix desktop's menus.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LC_ALL=${LC_ALL:-en_US.UTF-8}

failures=0
test_name=$(basename "$0" .sh)
exit_actions=() # commands that cleanup_prefix runs first, e.g. to end a server

new_prefix() {
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/vestrana-e2e.XXXXXX")
  export WINEPREFIX
  cp -a "$VESTRANA_TEMPLATE_PREFIX/." "$WINEPREFIX/"
  # Wine links Desktop, Documents and the like to the Unix home folder; plain
  # folders keep every shortcut a test makes inside its own prefix.
  local folder
  for folder in "$WINEPREFIX/drive_c/users/$(wine_user)"/*; do
    if [ -L "$folder" ]; then rm "$folder" && mkdir "$folder"; fi
  done
  trap cleanup_prefix EXIT
  wineserver -p
}

# Each prefix keeps one Wine server for the whole test, ended by
# cleanup_prefix. Debian's wineserver wrapper starts a server without
# persistence (-p0): it exits the moment the prefix's last process has
# ended, and a wine command that connects in that moment fails with
# "recvmsg: Connection reset by peer", which reads like a missing registry
# value or a failed run. A test that ends every process of the prefix on
# purpose starts the next server through restart_wineserver.
restart_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -p
}

cleanup_prefix() {
  local rc=$? action
  for action in "${exit_actions[@]}"; do eval "$action" || true; done
  wineserver -k 2>/dev/null || true
  [ -n "${KEEP_PREFIX:-}" ] || rm -rf "$WINEPREFIX"
  if [ "$rc" -eq 0 ] && [ "$failures" -gt 0 ]; then exit 1; fi
}

wine_user() { echo "${USER:-$(id -un)}"; }
# The user's local application data folder in Windows spelling; a test that
# moves it (in the prefix's registry) sets local_appdata_win_override.
local_appdata_win() { echo "${local_appdata_win_override:-C:\\users\\$(wine_user)\\AppData\\Local}"; }
# Unix paths of the user's folders inside the prefix.
local_appdata() { unix_path "$(local_appdata_win)"; }
roaming_appdata() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/AppData/Roaming"; }
install_dir() { echo "$(local_appdata)/vestrana"; }
programs_dir() { echo "$(roaming_appdata)/Microsoft/Windows/Start Menu/Programs"; }
desktop_dir() { echo "$WINEPREFIX/drive_c/users/$(wine_user)/Desktop"; }
# Windows spellings of the install folder and of the two shortcuts.
install_dir_win() { echo "$(local_appdata_win)\\vestrana"; }
programs_link_win() { echo "C:\\users\\$(wine_user)\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\vestrana.lnk"; }
desktop_link_win() { echo "C:\\users\\$(wine_user)\\Desktop\\vestrana.lnk"; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vestrana'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'

# The Unix path of a Windows path on drive C: of the prefix.
unix_path() {
  local path=${1//\\//}
  case $path in
    [Cc]:/*) echo "$WINEPREFIX/drive_c/${path:3}" ;;
    *) return 1 ;;
  esac
}
# The user's temporary folder (Unix path), as the prefix's environment names it.
temp_dir() { unix_path "$(reg_value 'HKCU\Environment' TEMP)"; }

# Runs a program under Wine and prints nothing; returns its exit code.
run_wine() { wine "$@" >/dev/null 2>&1; }

# Runs a command every tenth of a second until it succeeds, for up to $1
# seconds; returns 1 when it never did.
poll() {
  local tries=$(($(awk -v s="$1" 'BEGIN { printf "%d", s * 10 }') + 1))
  shift
  for _ in $(seq 1 "$tries"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Runs a whole command line as the list of installed programs runs an
# uninstall command: handed to CreateProcessW as it is; returns its exit code.
run_command_line() { run_wine "$VESTRANA_RUN_COMMAND_LINE" "$1"; }

# Prints the Unix process IDs of this prefix's processes whose command line
# (as Wine shows it) matches the extended regular expression.
prefix_pids() {
  local pid
  for pid in $(pgrep -f -- "$1" || true); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done
  return 0
}

# Starts the stand-in app (Windows path, then arguments) in the background,
# waits until it has recorded its start in its log and sets app_pid to its
# process ID.
starts_log() { echo "$(local_appdata)/com.vestrana.desktop/starts.log"; }
count_starts() { # Windows path of the program
  local n
  n=$(grep -cF -- $'\t'"$1"$'\t' "$(starts_log)" 2>/dev/null) || true
  echo "${n:-0}"
}
start_app() {
  local program=$1 before
  shift
  before=$(count_starts "$program")
  wine "$program" "$@" >/dev/null 2>&1 &
  app_pid=$!
  poll 10 started_since "$program" "$before" && return 0
  echo "the app $program did not start" >&2
  return 1
}
# Whether the app (Windows path) has more starts in its log than $2.
started_since() { [ "$(count_starts "$1")" -gt "$2" ]; }
# Whether a process is alive (an ended one that is not yet reaped is not).
running() {
  local state
  state=$(awk '{ sub(/^.*\) /, ""); print $1 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}
# Whether a process has ended, allowing Wine a moment to tear down a
# process that was just terminated.
ended() { poll 3 not running "$1"; }
not() { ! "$@"; }

# Names of what a removal puts into a (Unix) temporary folder: the
# temporary uninstaller copies and the cleanup helpers' files.
uninstaller_copies() { find "$1" -maxdepth 1 \( -name 'vestrana-uninstall-*.exe' -o -name 'vestrana-cleanup-*.exe' \) -printf '%f\n'; }
# Whether every cleanup helper of a removal has ended.
cleanup_ended() { [ -z "$(prefix_pids 'vestrana-cleanup-[0-9]+\.exe.* --cleanup')" ]; }
# Waits up to 10 s for the last stage of a removal: the install folder and
# everything of ours in the temporary folder deleted, the helper ended.
# Arguments: the install folder and the temporary folder (Unix paths).
wait_for_final_cleanup() { poll 10 final_cleanup_done "$1" "$2"; }
final_cleanup_done() { [ ! -e "$1" ] && [ -z "$(uninstaller_copies "$2")" ] && cleanup_ended; }
# Records the command line of every process of this prefix, each distinct
# one once, into the file $1 until stop_sampling.
start_sampling() {
  sample_file=$1
  : >"$sample_file"
  (
    # Processes come and go under the sweep: what cannot be read is skipped.
    set +e +o pipefail
    trap - ERR
    local environ
    while :; do
      # One grep reads every process's environment, so a sweep takes
      # milliseconds even on a busy machine and a short-lived process is
      # not passed over while the sweep forks its way through /proc.
      grep -lsxzF "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ | while read -r environ; do
        tr '\0' ' ' 2>/dev/null <"${environ%/environ}/cmdline"
        echo
      done | sort -u | comm -13 "$sample_file" - >>"$sample_file.new"
      [ -s "$sample_file.new" ] && sort -u "$sample_file" "$sample_file.new" -o "$sample_file"
      rm -f "$sample_file.new"
      # A Wine process lives far longer than this pause (it loads and
      # connects to the server first), so none is missed, and the sampler
      # leaves the cores to the processes it watches.
      sleep 0.02
    done
  ) &
  sampler_pid=$!
}
stop_sampling() { kill "$sampler_pid" 2>/dev/null; wait "$sampler_pid" 2>/dev/null || true; }
# Whether no sampled command line holds the ping-then-delete combination.
no_ping_del() { ! grep -Eiq 'ping|del /|cmd(\.exe)? /' "$1"; }

# One line per shortcut file (Windows paths): target, working folder,
# icon,index and description, separated by tabs, as the shell reads them.
read_shortcuts() { wine "$VESTRANA_READ_SHORTCUT" "$@" 2>/dev/null; }

# `wine reg query` with its arguments, CRLF removed. It fails quietly when the
# key or value does not exist (reg says so on stdout); any other failure is
# told on stderr with what Wine printed, so that it never passes for a
# missing value unnoticed.
reg_query() {
  local out err rc=0
  err=$(mktemp)
  out=$(wine reg query "$@" 2>"$err" | tr -d '\r') || rc=$?
  if [ "$rc" -ne 0 ] && ! grep -q '^reg: Unable to find the specified registry' <<<"$out"; then
    echo "wine reg query $* failed with status $rc:" >&2
    grep -v 'wine32\|multiarch\|apt-get\|dpkg' "$err" >&2 || true
  fi
  rm -f "$err"
  printf '%s\n' "$out"
  return "$rc"
}

# Whether a registry key does not exist, as reg reports it; a query that
# failed for another reason does not count as the key being gone.
reg_key_gone() {
  local out
  out=$(reg_query "$1") && return 1
  grep -q '^reg: Unable to find the specified registry key' <<<"$out"
}
# One registry value's data as `wine reg query` prints it (CRLF removed),
# or nothing (exit 1) when the value does not exist.
reg_value() {
  local key=$1 name=$2 out
  out=$(reg_query "$key" /v "$name") || return 1
  printf '%s\n' "$out" | awk -v n="$name" '
    { line=$0; sub(/^[ \t]+/, "", line) }
    index(line, n) == 1 { rest=substr(line, length(n)+1); sub(/^[ \t]+/, "", rest);
      type=rest; sub(/[ \t].*$/, "", type); data=substr(rest, length(type)+1);
      sub(/^[ \t]+/, "", data); print data; found=1 }
    END { exit !found }'
}

# Every value of a key as "name TAB type TAB data" lines, read in one go;
# nothing (exit 1) when the key does not exist.
reg_values() {
  local out
  out=$(reg_query "$1") || return 1
  printf '%s\n' "$out" | awk '
    /^    [^ ]/ { line=substr($0, 5); at=index(line, "    REG_"); if (at == 0) next;
      name=substr(line, 1, at-1); rest=substr(line, at+4); sep=index(rest, "    ");
      if (sep == 0) { type=rest; data="" } else { type=substr(rest, 1, sep-1); data=substr(rest, sep+4) }
      print name "\t" type "\t" data }'
}
# The REG_SZ values of a key as "name TAB text" lines, read from an export
# of the key (UTF-16), so texts outside the console's code page come out
# exactly (`wine reg query` prints them in the OEM code page).
reg_strings() {
  local file="$WINEPREFIX/drive_c/reg-strings-export.reg"
  rm -f "$file"
  run_wine reg export "$1" 'C:\reg-strings-export.reg' /y || return 1
  iconv -f UTF-16 -t UTF-8 "$file" | tr -d '\r' |
    perl -ne 'if (/^"((?:[^"\\]|\\.)*)"="((?:[^"\\]|\\.)*)"$/) {
                my ($n, $v) = ($1, $2); s/\\(.)/$1/g for $n, $v; print "$n\t$v\n" }'
  rm -f "$file"
}
# From reg_values or reg_strings output on stdin: the rest of the line of
# one value ("type TAB data", or the text), or exit 1 when it is not there.
pick_value() { awk -F'\t' -v n="$1" '$1 == n { sub(/^[^\t]*\t/, ""); print; found=1 } END { exit !found }'; }

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

finish() { if [ "$failures" -gt 0 ]; then exit 1; fi; }

# The window tests' helpers: a display of the test's own, the window found,
# read through its accessible tree and driven by keys and clicks, and its
# pictures compared with the preview's.
# shellcheck source=tests/e2e/window_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/window_lib.sh"

# The local-download test build fetches the WebView2 bootstrapper from a
# fixed local port: sets port, url_path (the download address's path),
# client_key (the runtime's registration) and web (the folder a local server
# serves, with the download address's folders made), keeps proxies out of the
# way and holds the port for this test, one such test at a time on this
# machine.
take_download_port() {
  unset http_proxy HTTP_PROXY https_proxy HTTPS_PROXY all_proxy ALL_PROXY
  port=47805
  url_path='/fwlink/p/?LinkId=2124703'
  client_key='HKCU\Software\Microsoft\EdgeUpdate\Clients\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}'
  web="$WINEPREFIX/web"
  mkdir -p "$web/fwlink/p"
  exec {port_lock}>"${TMPDIR:-/tmp}/vestrana-e2e-port-$port.lock"
  flock -w 240 "$port_lock" || { echo "port $port stays taken by another test" >&2; exit 1; }
}

# ---- Openings and sequences several tests share ------------------------------

# Sets dir and win to the install folder as the file system and as Windows
# spell it.
install_dirs() {
  dir=$(install_dir)
  win=$(install_dir_win)
}

# Runs the setup silently and checks that it exits with code $1 (the check
# named $2).
expect_silent_run() {
  local rc=0
  run_wine "$VESTRANA_SETUP" --silent || rc=$?
  check_eq "$2" "$1" "$rc"
}

# A silent install as a test's starting point: checks that it exits 0 (the
# check named $1) and sets dir and win.
silent_install() {
  expect_silent_run 0 "$1"
  install_dirs
}

# Renders the welcome, progress and done screens of mode $1 (install,
# update or remove) once their animations have settled, into
# $shots/welcome.png, progress.png and done.png.
settled_previews() {
  local screen
  for screen in welcome progress 'done'; do
    preview "$shots/$screen.png" --screen "$screen" --mode "$1" --clock 10 --since 10
  done
}

# A plain install through the window, checked against the preview: renders
# the settled welcome and done screens with the preview options that follow
# $4 as $shots/$1-welcome.png and $1-done.png, starts the setup $2 (in the
# locale $4 when it is not empty), waits for each screen to equal its
# preview (Return installs), closes the done screen with the key $3 and
# expects exit code 0.
install_looks_like_preview() {
  local name=$1 setup=$2 key=$3 locale=$4 screen
  shift 4
  for screen in welcome 'done'; do
    preview "$shots/$name-$screen.png" --screen "$screen" --mode install --clock 10 --since 10 "$@"
  done
  if [ -n "$locale" ]; then LC_ALL=$locale launch "$setup"; else launch "$setup"; fi
  win=$(open_window 'vestrana Setup') || { check "the $name window appears" false; exit 1; }
  check "$name: the welcome screen equals the preview" \
    wait_for_look "$win" "$shots/$name-welcome.png" 5 title header subtitle footer
  press_key "$win" Return
  check "$name: the done screen equals the preview" \
    wait_for_look "$win" "$shots/$name-done.png" 10 title header subtitle footer
  press_key "$win" "$key"
  check "$name: $key closes the done screen" window_gone "$win" 10
  wait_exit "$launch_pid" 10
  check_eq "with exit code 0" 0 "$exit_code"
}
