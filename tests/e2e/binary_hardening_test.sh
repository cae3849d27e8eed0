#!/usr/bin/env bash
# What the built program is made of, read from the file itself:
# - it imports only libraries that Windows always loads from its own folder
#   (every other one is loaded at run time from there, so that a file of the
#   same name beside the setup in Downloads is never loaded); the list must
#   not grow back;
# - its header asks for address randomisation with 64-bit entropy and for
#   no execution of data, and it carries the relocations that randomisation
#   needs;
# - the stack-protector runtime is linked and actually called. Fortified
#   string and memory calls leave a call of __memcpy_chk and the like only
#   where the compiler knows the destination's size but not the length; our
#   own code has none today, so their count is reported, not required.
set -euo pipefail
: "${VESTRANA_SETUP:?}" "${VESTRANA_OBJDUMP:?}" "${VESTRANA_BUILD:?}"
failures=0
check() { # description, command...
  local what=$1; shift
  if "$@"; then echo "ok   binary_hardening_test: $what"; else echo "FAIL binary_hardening_test: $what"; failures=$((failures + 1)); fi
}

headers=$("$VESTRANA_OBJDUMP" -p "$VESTRANA_SETUP")
allowed=' advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll '
imports=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$headers" | sort -u)
echo "imports: $(tr '\n' ' ' <<<"$imports")"
check "it imports libraries at all (the table was read)" test -n "$imports"
allowed_dll() { [[ "$allowed" == *" $1 "* ]]; }
for dll in $imports; do
  check "$dll is one of the libraries Windows loads from its own folder" allowed_dll "$dll"
done

characteristics=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
echo "DllCharacteristics: $characteristics"
has_flag() { (((16#$characteristics & $1) == $1)); }
check "DYNAMIC_BASE (0x0040)" has_flag 0x0040
check "NX_COMPAT (0x0100)" has_flag 0x0100
check "HIGH_ENTROPY_VA (0x0020)" has_flag 0x0020
check "a .reloc section" eval '"$VESTRANA_OBJDUMP" -h "$VESTRANA_SETUP" | awk '\''$2 == ".reloc" && $3 !~ /^0+$/ { f = 1 } END { exit !f }'\'''

# The program is stripped; the link map names where the runtime's
# functions ended up, and the disassembly shows who calls them.
map="$VESTRANA_BUILD/vestrana-setup.map"
address_of() { awk -v n="$1" '$2 == n && $1 ~ /^0x/ { sub(/^0x0*/, "", $1); print $1; exit }' "$map"; }
code=$("$VESTRANA_OBJDUMP" -d "$VESTRANA_SETUP")
calls_of() { # jumps and calls of the named functions
  local name a n=0
  for name in "$@"; do
    a=$(address_of "$name")
    [ -n "$a" ] && n=$((n + $(grep -cE "(call|j[a-z]+) +(0x)?0*$a\b" <<<"$code" || true)))
  done
  echo "$n"
}
stack_calls=$(calls_of __stack_chk_fail)
fortify_calls=$(calls_of __chk_fail __memcpy_chk __memmove_chk __memset_chk __strcpy_chk __strcat_chk __strncpy_chk)
echo "calls of __stack_chk_fail: $stack_calls, of the fortify checks: $fortify_calls"
check "the stack canary __stack_chk_guard is linked" test -n "$(address_of __stack_chk_guard)"
check "hundreds of functions check their canary" test "$stack_calls" -ge 200
check "libssp's report of a smashed stack is in the program" grep -qa 'stack smashing detected' "$VESTRANA_SETUP"
[ "$failures" -eq 0 ]
