#!/usr/bin/env bash
# A removal started from a folder that holds no installation: Downloads, with
# the setup copied in next to someone else's "uninstall.exe" and a library
# named like ours. With nothing installed, a silent run and a question closed
# with Escape leave that folder as it was once the delayed command has run;
# with vestrana installed, the same run removes that installation and still
# touches nothing in Downloads. A relative --dir means the folder relative to
# where the removal was started, for every stage alike.
source "$(dirname "$0")/lib.sh"
new_prefix
start_display
seed_webview2

downloads_win="C:\\users\\$(wine_user)\\Downloads"
downloads=$(unix_path "$downloads_win")
mkdir -p "$downloads"
cp "$VESTRANA_SETUP" "$downloads/vestrana-setup.exe"
echo "someone else's uninstaller" >"$downloads/uninstall.exe"
echo "someone else's library" >"$downloads/WebView2Loader.dll"
setup_win="$downloads_win\\vestrana-setup.exe"
temp=$(temp_dir)
downloads_state() { (cd "$downloads" && sha256sum -- * | sort); }
before=$(downloads_state)
# The delayed command has run: it deleted the temporary copy and ended.
delayed_command_done() { [ -z "$(uninstaller_copies "$temp")" ] && interpreter_ended; }
wait_for_delayed_command() {
  for _ in $(seq 1 100); do delayed_command_done && return 0; sleep 0.1; done
  return 1
}

rc=0; run_wine "$setup_win" --uninstall --silent || rc=$?
check_eq "a silent removal with nothing installed exits 0" 0 "$rc"
check "its delayed command runs" wait_for_delayed_command
check_eq "Downloads stays as it was" "$before" "$(downloads_state)"

launch "$setup_win" --uninstall
win=$(find_window 'Remove vestrana') || { check "the question window appears" false; exit 1; }
press_key "$win" Escape
check "Escape closes the question" window_gone "$win" 10
check "its delayed command runs" wait_for_delayed_command
check_eq "Downloads stays as it was after the closed question" "$before" "$(downloads_state)"

rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
check_eq "the install exits 0" 0 "$rc"
rc=0; run_wine "$setup_win" --uninstall --silent || rc=$?
check_eq "the removal from Downloads exits 0" 0 "$rc"
check "it removed the entry" eval '! wine reg query "$uninstall_key" >/dev/null 2>&1'
check "and the installation, folder included" wait_for_final_cleanup "$(install_dir)" "$temp"
check "and the Start-menu shortcut" test ! -e "$(programs_dir)/vestrana.lnk"
check_eq "Downloads stays as it was after removing the installation" "$before" "$(downloads_state)"

# Relative --dir, started in the local application data folder: the copy is
# handed the absolute folder.
rc=0; run_wine "$VESTRANA_SETUP" --silent || rc=$?
check_eq "the reinstall exits 0" 0 "$rc"
(cd "$(local_appdata)" && wine "$setup_win" --uninstall --silent --dir vestrana >/dev/null 2>&1) &
removal=$!
copy_command=
for _ in $(seq 1 100); do
  pid=$(prefix_pids 'vestrana-uninstall-[0-9]+\.exe --uninstall' | head -n1)
  [ -n "$pid" ] && copy_command=$(tr '\0' ' ' <"/proc/$pid/cmdline") && break
  sleep 0.05
done
rc=0; wait "$removal" || rc=$?
check_eq "the removal with a relative folder exits 0" 0 "$rc"
check_eq "its copy works on the absolute folder" "--dir $(install_dir_win) --silent" \
  "$(grep -o -- '--dir .*--silent' <<<"$copy_command")"
check "which is removed" wait_for_final_cleanup "$(install_dir)" "$temp"
check_eq "Downloads stays as it was in the end" "$before" "$(downloads_state)"
finish
