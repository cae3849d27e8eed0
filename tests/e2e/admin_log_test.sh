#!/usr/bin/env bash
# The admin log (--log FILE, /LOG=FILE): a silent install into a log whose
# folder does not exist yet, a failed update that names the held file and
# the system's reason, a windowed install driven by keys, a removal whose
# temporary copy writes into the same log, all appended to one file; every
# line starts with the local time stamp and the last one of each run is its
# exit code. A log path that is a folder changes nothing: exit 0, installed.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

install_dirs
log_win='C:\logs\new folder\setup.log'
log=$(unix_path "$log_win")
stamp='[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3}[+-][0-9]{2}:[0-9]{2}'

# The events of the log from line $1 on, without time stamps and line ends.
events_from() { tail -n +"$1" "$log" | sed -E "s/^$stamp //; s/\r\$//"; }
# Whether the events from line $1 on hold the texts $2... in this order
# (each one somewhere in a later line than the one before).
in_order() {
  local from=$1; shift
  events_from "$from" | awk -v n=$# 'BEGIN { for (i = 1; i <= n; i++) want[i] = ARGV[i]; ARGC = 1; k = 1 }
    k <= n && index($0, want[k]) { k++ } END { if (k <= n) { print "missing: " want[k] > "/dev/stderr"; exit 1 } }' "$@" ||
    { events_from "$from" | sed 's/^/  log: /' >&2; return 1; }
}
malformed_lines() { grep -Evc "^$stamp [^ ].*"$'\r'"\$" "$log" || true; }
lines_now() { if [ -e "$log" ]; then wc -l <"$log"; else echo 0; fi; }
first_line_has() { events_from 1 | head -n 1 | grep -Fq -- "$1"; }
last_event() { events_from 1 | tail -n 1; }

# --- A silent install: the folder of the log is created. ---
rc=0; run_wine "$VESTRANA_SETUP" --silent --log "$log_win" || rc=$?
check_eq "a silent install with --log exits 0" 0 "$rc"
check "the log and its folder were created" test -f "$log"
check_eq "every line is a local time stamp with milliseconds, a blank and an event, ended by CR LF" \
  0 "$(malformed_lines)"
# Local time: the offset the machine has now (Wine follows the host's zone).
check_eq "the time stamps carry the machine's offset" "$(date +%:z)" \
  "$(head -n 1 "$log" | sed -E 's/^.{23}([+-][0-9]{2}:[0-9]{2}) .*/\1/')"
install_events=(
  "vestrana setup $VESTRANA_VERSION, command line: "
  "install (silent), language en, folder $win"
  "step started: closing vestrana"
  "step started: copying files"
  "unpacked the app: 2 files"
  "wrote $win\\WebView2Loader.dll ($(stat -c %s "$dir/WebView2Loader.dll") bytes)"
  "wrote $win\\vestrana.exe ($(stat -c %s "$dir/vestrana.exe") bytes)"
  "wrote $win\\uninstall.exe ($(stat -c %s "$dir/uninstall.exe") bytes)"
  "step done: copying files"
  "WebView2 runtime 120.0.2210.91 found"
  "created the shortcut $(programs_link_win)"
  "created the shortcut $(desktop_link_win)"
  "wrote the uninstall entry $uninstall_key (version $VESTRANA_VERSION, "
  "step done: finishing"
  "exit code 0"
)
check "the install's events, in order" in_order 1 "${install_events[@]}"
check "the first line holds the command line" first_line_has "--silent --log \"$log_win\""

# --- A failed update: the held file and the system's reason. ---
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$dir/vestrana.exe"
printf 'earlier version' >>"$dir/vestrana.exe"
reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
rm -f "$WINEPREFIX/drive_c/held"
wine "$VESTRANA_HOLD_FILE" "$win\\vestrana.exe" 'C:\held' >/dev/null 2>&1 &
holder=$!
exit_actions+=("kill $holder 2>/dev/null")
check "the holder holds vestrana.exe" poll 10 test -e "$WINEPREFIX/drive_c/held"
from=$(($(lines_now) + 1))
rc=0; run_wine "$VESTRANA_SETUP" /S "/LOG=$log_win" || rc=$?
check_eq "an update against a lasting hold exits 1" 1 "$rc"
# A target held without delete sharing cannot be moved aside for its
# backup: a sharing violation. What was already moved in goes back.
reason="$(wine "$VESTRANA_ERROR_TEXT" 32 2>/dev/null) (os error 32)"
check "the log names the held file and the system's reason, and the rollback" in_order "$from" \
  "update from 1.1.0 (silent), language en, folder $win" \
  "backup: moved $win\\WebView2Loader.dll aside as WebView2Loader.old" \
  "rollback: put the earlier $win\\WebView2Loader.dll back from WebView2Loader.old" \
  "could not write $win\\vestrana.exe: $reason" \
  "step failed: copying files: The files could not be written ($reason)."
check_eq "and ends with the exit code" "exit code 1" "$(last_event)"
kill "$holder" 2>/dev/null || true
wait "$holder" 2>/dev/null || true

# --- A windowed install driven by keys. ---
preview "$shots/done.png" --screen "done" --mode install --focus primary --clock 10 --since 10
from=$(($(lines_now) + 1))
launch "$VESTRANA_SETUP" --log "$log_win"
setup_pid=$launch_pid
window=$(open_window 'vestrana Setup') || { check "the setup window answers and has the focus" false; exit 1; }
press_key "$window" Return
check "Enter installs: the done screen follows" wait_for_look "$window" "$shots/done.png" 15 title
press_key "$window" Return
check "Enter on the done screen closes the window" window_gone "$window" 10
wait_exit "$setup_pid"
check_eq "the windowed install exits 0" 0 "$exit_code"
check "its log tells the run from its start to its exit code" in_order "$from" \
  "command line: " "update from 1.1.0 (window), language en, folder $win" \
  "install into $win: desktop shortcut on, start with Windows off" \
  "step started: copying files" "step done: finishing" "exit code 0"
check_eq "the exit code is the last line" "exit code 0" "$(last_event)"

# --- A removal: the temporary copy writes into the same log. ---
from=$(($(lines_now) + 1))
quiet=$(reg_value "$uninstall_key" QuietUninstallString || true)
rc=0; run_command_line "$quiet --log \"$log_win\"" || rc=$?
check_eq "the quiet removal with --log exits 0" 0 "$rc"
check "the log has both stages, the copy's between the first stage's start and end" in_order "$from" \
  "$win\\uninstall.exe\" --uninstall --silent --log \"$log_win\"" \
  "first stage of a removal, language en" \
  "--uninstall --from-temp --dir $win --after " \
  "removal (silent), language en, folder $win" \
  "deleted the uninstall entry $uninstall_key" \
  "removed the installed files in $win" \
  "the last stage deletes this copy, the installed uninstall.exe and the folder" \
  "exit code 0" "exit code 0"
check_eq "the first stage's exit code is the last line" "exit code 0" "$(last_event)"
check "the delayed clean-up finishes" wait_for_final_cleanup "$dir" "$(temp_dir)"

# --- A log path that is a folder: ignored. ---
folder_win='C:\logs\new folder'
rc=0; run_wine "$VESTRANA_SETUP" --silent --log "$folder_win" || rc=$?
check_eq "an install whose log is a folder exits 0" 0 "$rc"
check "and installs" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "the folder is still a folder" test -d "$(unix_path "$folder_win")"
finish
