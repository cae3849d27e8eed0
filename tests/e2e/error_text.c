/* Test helper: prints the system's own text for a Win32 error code or an
   HRESULT (the number given, decimal or 0x hexadecimal), as the setup puts
   it into its error messages: UTF-8, without the line break at its end. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  wchar_t* text = NULL;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                     (DWORD)wcstoul(argv[1], NULL, 0), 0, (wchar_t*)&text, 0, NULL);
  if (length == 0) return 1;
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L' ' ||
                        text[length - 1] == L'\t')) {
    --length;
  }
  char utf8[4096];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, (int)length, utf8, sizeof(utf8), NULL, NULL);
  LocalFree(text);
  if (bytes <= 0) return 1;
  fwrite(utf8, 1, (size_t)bytes, stdout);
  return 0;
}
