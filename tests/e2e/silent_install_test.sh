#!/usr/bin/env bash
# A silent install on a fresh machine: the app's files land in the install
# folder with their packed contents, the uninstall entry holds exactly its
# eleven values, both shortcuts point at the app, no autostart value is
# written, Wine's own list of installed programs shows the app, and every
# spelling of the flag works.
source "$(dirname "$0")/lib.sh"
new_prefix
seed_webview2

silent_install "--silent exits 0"
check "vestrana.exe is the packed program" cmp -s "$dir/vestrana.exe" "$VESTRANA_BUILD/standin/vestrana.exe"
check "WebView2Loader.dll is the packed library" cmp -s "$dir/WebView2Loader.dll" "$VESTRANA_BUILD/standin/WebView2Loader.dll"
check "uninstall.exe is a copy of the setup" cmp -s "$dir/uninstall.exe" "$VESTRANA_SETUP"
check_eq "the install folder holds exactly the three files" \
  "$(printf '%s\n' WebView2Loader.dll uninstall.exe vestrana.exe)" "$(ls "$dir" | LC_ALL=C sort)"

# The uninstall entry, value by value, with its types.
entry=$(reg_values "$uninstall_key" || true)
value() { printf '%s\n' "$entry" | pick_value "$1" || echo "(missing)"; }
bytes=$(( $(stat -c %s "$VESTRANA_BUILD/standin/vestrana.exe") \
        + $(stat -c %s "$VESTRANA_BUILD/standin/WebView2Loader.dll") \
        + $(stat -c %s "$VESTRANA_SETUP") ))
check_eq "DisplayName" $'REG_SZ\tvestrana' "$(value DisplayName)"
check_eq "DisplayIcon is the app program" $'REG_SZ\t'"$win\\vestrana.exe" "$(value DisplayIcon)"
check_eq "DisplayVersion" $'REG_SZ\t'"$VESTRANA_VERSION" "$(value DisplayVersion)"
check_eq "Publisher" $'REG_SZ\tvestrana' "$(value Publisher)"
check_eq "URLInfoAbout" $'REG_SZ\thttps://vestrana.app/' "$(value URLInfoAbout)"
check_eq "InstallLocation is the install folder" $'REG_SZ\t'"$win" "$(value InstallLocation)"
check_eq "UninstallString" $'REG_SZ\t'"\"$win\\uninstall.exe\" --uninstall" "$(value UninstallString)"
check_eq "QuietUninstallString" $'REG_SZ\t'"\"$win\\uninstall.exe\" --uninstall --silent" \
  "$(value QuietUninstallString)"
check_eq "EstimatedSize is the installed KiB" "$(printf 'REG_DWORD\t0x%x' $((bytes >> 10)))" "$(value EstimatedSize)"
check_eq "NoModify" $'REG_DWORD\t0x1' "$(value NoModify)"
check_eq "NoRepair" $'REG_DWORD\t0x1' "$(value NoRepair)"
check_eq "the entry holds no other value" 11 "$(printf '%s\n' "$entry" | grep -c .)"

# Shortcuts: directly in the Start-menu Programs folder and on the desktop.
check "the Start-menu shortcut exists" test -f "$(programs_dir)/vestrana.lnk"
check "the desktop shortcut exists (first install proposes it)" test -f "$(desktop_dir)/vestrana.lnk"
link=$(printf '%s\t%s\t%s,0\tvestrana' "$win\\vestrana.exe" "$win" "$win\\vestrana.exe")
check_eq "both shortcuts start the app in its folder with its icon" \
  "$(printf '%s\n%s' "$link" "$link")" "$(read_shortcuts "$(programs_link_win)" "$(desktop_link_win)" || true)"

check "no autostart value (first install proposes none)" eval '! reg_value "$run_key" vestrana >/dev/null'
check "Wine's list of installed programs shows vestrana" \
  eval 'wine uninstaller --list 2>/dev/null | tr -d "\r" | grep -qxF "vestrana|||vestrana"'

# A reinstall of the same version keeps the earlier choices; the flag's
# other spellings work as well.
for flag in /s --SILENT /S; do
  rm -rf "$dir"
  rc=0; run_wine "$VESTRANA_SETUP" "$flag" || rc=$?
  check_eq "$flag exits 0" 0 "$rc"
  check "$flag installs vestrana.exe" test -f "$dir/vestrana.exe"
  check "$flag keeps the desktop shortcut" test -f "$(desktop_dir)/vestrana.lnk"
done
check "still no autostart value" eval '! reg_value "$run_key" vestrana >/dev/null'
check "no temporary files are left" test -z "$(find "$dir" -name '*.new')"

# A Desktop that takes no shortcut (as with Controlled Folder Access on, which
# denies the save; here a plain file stands where the folder was): a first
# install still succeeds, with its entry and the Start-menu shortcut.
wine reg delete "$uninstall_key" /f >/dev/null 2>&1
rm -rf "$dir" "$(desktop_dir)" "$(programs_dir)/vestrana.lnk"
echo "not a folder" >"$(desktop_dir)"
expect_silent_run 0 "a refused desktop shortcut still exits 0"
check "the Start-menu shortcut exists without the desktop one" test -f "$(programs_dir)/vestrana.lnk"
check_eq "the uninstall entry is written" $'REG_SZ\t'"$VESTRANA_VERSION" \
  "$(reg_values "$uninstall_key" | pick_value DisplayVersion || echo "(missing)")"
check "the Desktop is left as it was" test -f "$(desktop_dir)"
finish
