/* Test helper: holds the setup's single-instance lock, as a running setup
   would, until it is ended. Writes the file named by its argument once the
   lock is held, so that the test knows when to go on. */
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  HANDLE mutex = CreateMutexW(NULL, TRUE, L"Local\\vestrana-setup");
  if (mutex == NULL) return 2;
  if (argc > 1) {
    HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  }
  Sleep(INFINITE);
  return 0;
}
