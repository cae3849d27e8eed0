// Lets the gated test build of the setup go on by the given number of paced
// steps (default 1). Exit 1 when no gated setup is running.
#include <windows.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
  const long steps = argc > 1 ? wcstol(argv[1], NULL, 10) : 1;
  HANDLE gate = OpenSemaphoreW(SEMAPHORE_MODIFY_STATE, FALSE, L"Local\\vestrana-pacing-gate");
  if (gate == NULL) return 1;
  const BOOL released = ReleaseSemaphore(gate, steps, NULL);
  CloseHandle(gate);
  return released ? 0 : 1;
}
