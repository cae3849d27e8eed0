// Stands in for a library that a web page dropped into Downloads under the
// name of one the setup or a system library might load. Loading it is all
// it takes: its entry appends its own path to C:\planted-dll-loaded.log.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  HANDLE log = CreateFileW(L"C:\\planted-dll-loaded.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (log == INVALID_HANDLE_VALUE) return TRUE;
  DWORD written;
  char line[MAX_PATH * 3 + 2];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, path, (int)length, line, MAX_PATH * 3, NULL, NULL);
  line[bytes] = '\n';
  WriteFile(log, line, (DWORD)bytes + 1, &written, NULL);
  CloseHandle(log);
  return TRUE;
}
