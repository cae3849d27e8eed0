#!/usr/bin/env bash
# An update over an earlier installation that does not run to its end. Killed
# hard at ten points spread over its run (three at moments of its file
# work, seven by the clock), it leaves each of the three files either old or new,
# byte for byte, and nothing but its own temporary "*.new" files besides; a
# rerun then finishes with exit code 0 and a clean folder. On a drive with
# too little free space it fails with exit code 1, in the window with the
# system's "disk full" text in its message, and leaves the earlier
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

put_earlier() { # folder (Unix), folder (Windows)
  rm -rf "$1" && mkdir -p "$1" && cp "$earlier"/* "$1/"
  reg_add "$uninstall_key" /v DisplayName /t REG_SZ /d vestrana
  reg_add "$uninstall_key" /v DisplayVersion /t REG_SZ /d 1.1.0
  reg_add "$uninstall_key" /v InstallLocation /t REG_SZ /d "$2"
  reg_add "$uninstall_key" /v UninstallString /t REG_SZ /d "\"$2\\uninstall.exe\" --uninstall"
}
# Each of the three files is its earlier or its new version; anything else
# in the folder is one of the setup's temporary files.
consistent() {
  local name entry ok=0
  for name in "${names[@]}"; do
    cmp -s "$dir/$name" "$earlier/$name" || cmp -s "$dir/$name" "$new/$name" || {
      echo "     $name is neither the earlier nor the new version"; ok=1; }
  done
  for entry in "$dir"/*; do
    case ${entry##*/} in
      vestrana.exe | WebView2Loader.dll | uninstall.exe | vestrana.new | WebView2Loader.new | uninstall.new) ;;
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
# Kills the setup hard: at the first moment the named file exists in the
# install folder, or after the given number of seconds.
kill_at() {
  local point=$1 pid
  launch "$VESTRANA_SETUP" --silent
  pid=$launch_pid
  case $point in
    *.new | *.exe | *.dll)
      # Builtins only: a temporary file of the stand-in lives a few milliseconds.
      while [ ! -e "$dir/$point" ] && kill -0 "$pid" 2>/dev/null; do :; done ;;
    *) sleep "$point" ;;
  esac
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
}

killed_while=()
for point in WebView2Loader.new vestrana.new uninstall.new 0.2 0.5 0.8 1.1 1.6 2.4 3.2; do
  put_earlier "$dir" "$(install_dir_win)"
  rm -f "$dir/uninstall.exe" # so that uninstall.new has a moment of its own
  cp "$earlier/uninstall.exe" "$dir/uninstall.exe"
  kill_at "$point"
  state=$(cd "$dir" && for n in "${names[@]}"; do
    if cmp -s "$n" "$new/$n"; then printf n; else printf o; fi; done; ls -- *.new 2>/dev/null | tr '\n' ' ' || true)
  killed_while+=("$point:$state")
  check "killed at $point: every file is old or new ($state)" consistent
  rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
  check_eq "killed at $point: the rerun exits 0" 0 "$rc"
  check "killed at $point: the rerun leaves exactly the new files" clean_and_new
done
echo "     kill points and what they left (o = old, n = new): ${killed_while[*]}"

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
  rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
  check_eq "on a full drive the update exits 1" 1 "$rc"
  check_eq "the earlier installation is byte for byte as it was" "$before" "$(cd "$small" && sha256sum * | sort)"
  check_eq "the entry still has the earlier version" 1.1.0 "$(reg_value "$uninstall_key" DisplayVersion || true)"

  # The window needs a display, which the prefix's desktop process must
  # start on: the processes so far ran without one.
  wineserver -k 2>/dev/null || true
  start_display
  update_fails_on_screen 1.1.0 112
  check_eq "the earlier installation is still as it was" "$before" "$(cd "$small" && sha256sum * | sort)"
else
  echo "     (no small drive: this machine cannot mount a tmpfs; skipped)"
fi
finish
