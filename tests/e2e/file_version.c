/* Test helper: prints the version resource of a program as Windows reads
   it (the file's properties show the same): the numeric file and product
   versions, then the FileVersion and ProductVersion texts of the first
   translation, separated by tabs. Exit code 1 when the file has none. */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

static void print_text(void* info, const WORD* translation, const wchar_t* name) {
  wchar_t path[128];
  wchar_t* text = NULL;
  UINT length = 0;
  swprintf(path, 128, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], name);
  if (VerQueryValueW(info, path, (void**)&text, &length) && length > 0) {
    char utf8[256];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
    if (bytes > 0) fputs(utf8, stdout);
  }
}

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
  if (size == 0) return 1;
  void* info = malloc(size);
  if (!info || !GetFileVersionInfoW(argv[1], 0, size, info)) return 1;
  VS_FIXEDFILEINFO* fixed = NULL;
  WORD* translation = NULL;
  UINT length = 0;
  if (!VerQueryValueW(info, L"\\", (void**)&fixed, &length) || length < sizeof(*fixed)) return 1;
  if (!VerQueryValueW(info, L"\\VarFileInfo\\Translation", (void**)&translation, &length) || length < 4) return 1;
  printf("%u.%u.%u.%u\t%u.%u.%u.%u\t", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
         HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
         LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS));
  print_text(info, translation, L"FileVersion");
  fputs("\t", stdout);
  print_text(info, translation, L"ProductVersion");
  fputs("\n", stdout);
  free(info);
  return 0;
}
