/* Test helper: holds a file open the way an antivirus scanner does, for
   reading and without sharing write or delete access, so that the file can
   be neither replaced nor deleted meanwhile.
     hold-file FILE READY [TRIGGER MS]
   Writes READY once the file is open. With TRIGGER and MS, lets go MS
   milliseconds after a file named TRIGGER has appeared (with a leading "-",
   after the file named by the rest has gone); otherwise holds the file
   until it is ended. */
#include <windows.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  if (held == INVALID_HANDLE_VALUE) return 3;
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
  if (argc < 5) {
    Sleep(INFINITE);
    return 0;
  }
  if (argv[3][0] == L'-') {
    while (GetFileAttributesW(argv[3] + 1) != INVALID_FILE_ATTRIBUTES) Sleep(5);
  } else {
    while (GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES) Sleep(5);
  }
  Sleep((DWORD)_wtoi(argv[4]));
  CloseHandle(held);
  return 0;
}
