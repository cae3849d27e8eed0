#!/usr/bin/env bash
# An update over an earlier installation that does not run to its end.
# Killed hard at ten points spread over its run (six at moments of its file
# work: a temporary "*.new" or a backup "*.old" appearing, two of them while
# a later file is held so that the kill lands half-way through the set; four
# by the clock), it leaves each of the three files either old or new, byte
# for byte, and never a new one beside the temporary files without the
# earlier one kept as its backup, so that the set can be made whole again; a
# rerun then finishes with exit code 0 and exactly the new set. On a drive
# with too little free space it fails with exit code 1, in the window with
# the system's "disk full" text in its message, and leaves the earlier
# installation byte for byte as it was.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

dir=$(install_dir)
earlier=$WINEPREFIX/earlier
new=$WINEPREFIX/new
mkdir -p "$earlier" "$new"
cp "$VESTRANA_BUILD/standin/vestrana.exe" "$VESTRANA_BUILD/standin/WebView2Loader.dll" "$new/"
cp "$VESTRANA_SETUP" "$new/uninstall.exe"
# The earlier installation: other programs and another setup build.
cp "$new/vestrana.exe" "$new/WebView2Loader.dll" "$earlier/"
printf 'earlier version' | tee -a "$earlier/vestrana.exe" >>"$earlier/WebView2Loader.dll"
cp "$VESTRANA_SETUP_LOCALWEB" "$earlier/uninstall.exe"
names=(vestrana.exe WebView2Loader.dll uninstall.exe)
earlier_sums=$(cd "$earlier" && sha256sum -- * | sort)

put_earlier() { # folder (Unix), folder (Windows)
  rm -rf "$1" && mkdir -p "$1" && cp "$earlier"/* "$1/"
  reg_add "$uninstall_key" /v DisplayName /t REG_SZ /d vestrana
  reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
  reg_add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$2"
  reg_add "$uninstall_key" /v UninstallString /t REG_SZ /d "\"$2\\uninstall.exe\" --uninstall"
}
# Each of the three files is its earlier or its new version, or is missing
# with its backup in place; while temporary files are left (the set is not
# all in), every new file has its earlier one beside it as its backup; each
# backup is the earlier version; anything else in the folder is a temporary
# file or a backup of the setup.
consistent() {
  local name backup entry ok=0 pending=0
  compgen -G "$dir/*.new" >/dev/null && pending=1
  for name in "${names[@]}"; do
    backup=$dir/${name%.*}.old
    if [ -e "$backup" ] && ! cmp -s "$backup" "$earlier/$name"; then
      echo "     ${backup##*/} is not the earlier $name"; ok=1
    fi
    if [ ! -e "$dir/$name" ]; then
      [ -e "$backup" ] || { echo "     $name is missing without its backup"; ok=1; }
    elif cmp -s "$dir/$name" "$new/$name"; then
      [ "$pending" = 0 ] || [ -e "$backup" ] || { echo "     $name is new without its backup"; ok=1; }
    elif ! cmp -s "$dir/$name" "$earlier/$name"; then
      echo "     $name is neither the earlier nor the new version"; ok=1
    fi
  done
  for entry in "$dir"/*; do
    case ${entry##*/} in
      vestrana.exe | WebView2Loader.dll | uninstall.exe) ;;
      vestrana.new | WebView2Loader.new | uninstall.new | vestrana.old | WebView2Loader.old | uninstall.old) ;;
      *) echo "     unexpected ${entry##*/}"; ok=1 ;;
    esac
  done
  return "$ok"
}
clean_and_new() {
  local listing name ok=0
  listing=$(cd "$dir" && ls | LC_ALL=C sort | tr '\n' ' ')
  [ "$listing" = "WebView2Loader.dll uninstall.exe vestrana.exe " ] || { echo "     the folder holds: $listing"; ok=1; }
  for name in "${names[@]}"; do
    cmp -s "$dir/$name" "$new/$name" || { echo "     $name is not the new version"; ok=1; }
  done
  return "$ok"
}
# Another process holds the installed file $1 (reading, sharing read only)
# until the prefix's processes are ended; $holder is its process.
start_holder() {
  rm -f "$WINEPREFIX/drive_c/held"
  wine "$VESTRANA_HOLD_FILE" "$(install_dir_win)\\$1" 'C:\held' >/dev/null 2>&1 &
  holder=$!
  for _ in $(seq 1 100); do [ -e "$WINEPREFIX/drive_c/held" ] && return 0; sleep 0.1; done
  return 1
}
# Kills the setup hard: at the first moment the named file exists in the
# install folder, or after the given number of seconds. "NAME@HELD" kills at
# NAME while another process holds the installed file HELD, so that the
# setup is stuck moving HELD aside, with the files before it already new,
# when the kill comes.
kill_at() {
  local point=${1%@*} pid
  holder=
  [ "$1" = "$point" ] || start_holder "${1#*@}"
  launch "$VESTRANA_SETUP" --silent
  pid=$launch_pid
  case $point in
    *.new | *.old | *.exe | *.dll)
      # Builtins only: a temporary file of the stand-in lives a few milliseconds.
      while [ ! -e "$dir/$point" ] && kill -0 "$pid" 2>/dev/null; do :; done ;;
    *) sleep "$point" ;;
  esac
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  restart_wineserver
  [ -z "$holder" ] || wait "$holder" 2>/dev/null || true
}

killed_while=()
for point in WebView2Loader.new vestrana.new uninstall.new WebView2Loader.old@vestrana.exe \
  vestrana.old@uninstall.exe uninstall.old 0.2 0.8 1.6 3.2; do
  put_earlier "$dir" "$(install_dir_win)"
  rm -f "$dir/uninstall.exe" # so that uninstall.new has a moment of its own
  cp "$earlier/uninstall.exe" "$dir/uninstall.exe"
  kill_at "$point"
  state=$(cd "$dir" && for n in "${names[@]}"; do
    if [ ! -e "$n" ]; then printf -; elif cmp -s "$n" "$new/$n"; then printf n; else printf o; fi
  done; ls -- *.new *.old 2>/dev/null | tr '\n' ' ' || true)
  killed_while+=("$point:$state")
  check "killed at $point: every file is old or new ($state)" consistent
  if [ "${point#*@}" != "$point" ]; then
    # A rerun that fails on the same hold must leave the earlier set whole,
    # with the backups the killed run made put back, and nothing else.
    start_holder "${point#*@}"
    expect_silent_run 1 "killed at $point: a rerun against the same hold exits 1"
    check_eq "killed at $point: it leaves exactly the earlier set" "$earlier_sums" "$(cd "$dir" && sha256sum -- * | sort)"
    kill "$holder" 2>/dev/null || true
    wait "$holder" 2>/dev/null || true
  fi
  expect_silent_run 0 "killed at $point: the rerun exits 0"
  check "killed at $point: the rerun leaves exactly the new files" clean_and_new
done
echo "     kill points and what they left (o = old, n = new, - = moved aside): ${killed_while[*]}"

# Disk full: the user's local application data on a small drive E:.
mount_point=$WINEPREFIX/small-drive
mkdir -p "$mount_point"
if mount -t tmpfs -o size=12m tmpfs "$mount_point" 2>/dev/null; then
  exit_actions+=("umount '$mount_point'")
  ln -s "$mount_point" "$WINEPREFIX/dosdevices/e:"
  local_appdata_win_override='E:\Local'
  shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer'
  reg_add "$shell_folders\\User Shell Folders" /v 'Local AppData' /t REG_EXPAND_SZ /d "$local_appdata_win_override"
  reg_add "$shell_folders\\Shell Folders" /v 'Local AppData' /t REG_SZ /d "$local_appdata_win_override"
  reg_add 'HKCU\Volatile Environment' /v LOCALAPPDATA /t REG_SZ /d "$local_appdata_win_override"
  small=$mount_point/Local/vestrana
  put_earlier "$small" 'E:\Local\vestrana'
  # Leave less room than the first file written needs.
  room=$(( $(stat -c %s "$new/WebView2Loader.dll") / 2048 ))
  free_kib=$(df -k --output=avail "$mount_point" | tail -n1)
  dd if=/dev/zero of="$mount_point/filler" bs=1K count="$((free_kib - room))" 2>/dev/null || true
  echo "     (the small drive has $(df -k --output=avail "$mount_point" | tail -n1) KiB free)"
  before=$(cd "$small" && sha256sum * | sort)
  expect_silent_run 1 "on a full drive the update exits 1"
  check_eq "the earlier installation is byte for byte as it was" "$before" "$(cd "$small" && sha256sum * | sort)"
  check_eq "the entry still has the earlier version" 1.1.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"

  # The window needs a display, which the prefix's desktop process must
  # start on: the processes so far ran without one.
  restart_wineserver
  start_display
  update_fails_on_screen 1.1.0 112
  check_eq "the earlier installation is still as it was" "$before" "$(cd "$small" && sha256sum * | sort)"
else
  echo "     (no small drive: this machine cannot mount a tmpfs; skipped)"
fi
finish
