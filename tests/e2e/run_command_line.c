/* Test program: runs its one argument as a complete command line, the way the
   system's list of installed programs runs an uninstall command (the text
   goes to CreateProcessW unchanged), waits for that process and returns its
   exit code. 90: wrong use; 91: the command could not be started. */
#include <windows.h>
#include <wchar.h>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 90;
  wchar_t* line = _wcsdup(argv[1]); /* CreateProcessW may write to it */
  STARTUPINFOW startup = {sizeof startup};
  PROCESS_INFORMATION process;
  if (line == NULL || !CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) return 91;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 91;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return (int)code;
}
