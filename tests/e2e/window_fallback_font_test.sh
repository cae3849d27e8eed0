#!/usr/bin/env bash
# Letters that the embedded faces lack come from the system's fonts folder:
# a Start-menu folder whose path holds Cyrillic, Greek and Chinese letters
# cannot be written, and the error screen names it. With a Chinese face in
# the fonts folder under the name of Microsoft YaHei (a collection from a
# Debian fonts package) the window draws the path as the preview does with
# the same file, and the preview's fit report finds no character without a
# glyph; a letter that no face has is listed there.
source "$(dirname "$0")/lib.sh"
: "${VESTRANA_CJK_TEST_FONT:?}"
new_prefix
start_display
seed_webview2

fonts=$WINEPREFIX/drive_c/windows/Fonts
mkdir -p "$fonts"
cp "$VESTRANA_CJK_TEST_FONT" "$fonts/msyh.ttc"

# A folder stands where the Start-menu shortcut should go, so it cannot be
# saved.
programs_win='C:\Юлия Σοφία 王小明'
# Imported from a UTF-16 file: `reg add` takes its arguments through the
# console's code page, where these letters do not exist.
reg_file="$WINEPREFIX/drive_c/programs-folder.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n'
  for key in 'User Shell Folders' 'Shell Folders'; do
    printf '\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\%s]\r\n' "$key"
    printf '"Programs"="%s"\r\n' "${programs_win//\\/\\\\}"
  done
} | iconv -f UTF-8 -t UTF-16 >"$reg_file"
run_wine reg import 'C:\programs-folder.reg'
mkdir -p "$(unix_path "$programs_win")/vestrana.lnk"

code=0x80070005 # access denied
message="shortcut $programs_win\\vestrana.lnk: save: $(wine "$VESTRANA_ERROR_TEXT" "$code" 2>/dev/null) ($code)"
preview "$shots/error.png" --screen error --mode install --error "$message" --clock 10 --since 10 --fonts-dir "$fonts"
preview "$shots/boxes.png" --screen error --mode install --error "$message" --clock 10 --since 10
check "the preview draws the Chinese letters with the fallback face, not as boxes" \
  eval '[ "$(pixels_differ "$shots/error.png" "$shots/boxes.png" "${region_footer[@]}")" != 0 ]'

fit=$("$VESTRANA_PREVIEW" --fit --error "$message" --fonts-dir "$fonts") && rc=0 || rc=$?
check_eq "the fit report finds a glyph for every character" "none" "$(sed -n '/^characters that no face has/{n;p}' <<<"$fit")"
check_eq "the fit report's exit status" 0 "$rc"
fit=$("$VESTRANA_PREVIEW" --fit --error $'\u0627 '"$message" --fonts-dir "$fonts") && rc=0 || rc=$?
check "an Arabic letter (no face has it) is listed for the given text in every language" \
  eval '[ "$(grep -c "error (given text) .* no glyph for U+0627$" <<<"$fit")" = 6 ]'
check_eq "and makes the exit status 1" 1 "$rc"

launch "$VESTRANA_SETUP"
win=$(open_window 'vestrana Setup') || { check "the setup window answers and has the focus" false; exit 1; }
click_child Install "$win"
check "Install ends on the error screen, the path drawn as the preview draws it" \
  wait_for_look "$win" "$shots/error.png" 20 title header subtitle footer
click_child Close "$win"
check "Close closes the window" window_gone "$win" 10
finish
