/* The command line after the program name, as the starting process wrote
   it: a quoted name runs to the next quote, an unquoted one to the first
   blank; blanks after it are dropped. Shared by the small Windows programs
   that record how they were started (C and C++). */
#pragma once
#include <windows.h>

static inline const wchar_t* command_tail(void) {
  const wchar_t* p = GetCommandLineW();
  if (*p == L'"') {
    ++p;
    while (*p != L'\0' && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}
