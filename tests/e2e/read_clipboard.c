/* Test helper: prints the clipboard's plain Unicode text (CF_UNICODETEXT)
   as UTF-8, byte for byte, with no line break added; exit code 1 when the
   clipboard holds no text or cannot be opened. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

int wmain(void) {
  if (!OpenClipboard(NULL)) return 1;
  int status = 1;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* text = data != NULL ? (const wchar_t*)GlobalLock(data) : NULL;
  if (text != NULL) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char* utf8 = bytes > 0 ? malloc((size_t)bytes) : NULL;
    if (utf8 != NULL && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, NULL, NULL) == bytes) {
      fwrite(utf8, 1, (size_t)bytes - 1, stdout);
      status = 0;
    }
    free(utf8);
    GlobalUnlock(data);
  }
  CloseClipboard();
  return status;
}
