/* Test program: stands in for the WebView2 Evergreen bootstrapper. It appends
   its raw arguments to C:\webview2-setup.log, waits a moment (so a caller
   that does not wait for it would look too early), registers the runtime
   for the current user the way the real runtime does (value pv under the
   runtime's EdgeUpdate client key) and ends with BOOTSTRAPPER_EXIT_CODE. */
#include <windows.h>

#include "command_tail.h"

#ifndef BOOTSTRAPPER_EXIT_CODE
#define BOOTSTRAPPER_EXIT_CODE 0
#endif

static const wchar_t kClientKey[] = L"Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
static const wchar_t kVersion[] = L"120.0.0.1";

static void log_arguments(void) {
  char line[1024];
  int n = WideCharToMultiByte(CP_UTF8, 0, command_tail(), -1, line, sizeof line - 1, NULL, NULL);
  if (n <= 0) return;
  line[n - 1] = '\n';
  HANDLE file = CreateFileW(L"C:\\webview2-setup.log", FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, (DWORD)n, &written, NULL);
  CloseHandle(file);
}

int wmain(void) {
  log_arguments();
  Sleep(800);
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kClientKey, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
    return 3;
  RegSetValueExW(key, L"pv", 0, REG_SZ, (const BYTE*)kVersion, sizeof kVersion);
  RegCloseKey(key);
  return BOOTSTRAPPER_EXIT_CODE;
}
