#include "system/local_system_win32.h"

#include "system/unique_handle_win32.h"
#include "system/windows_headers.h"

#include <vector>

namespace vestrana {

bool runs_as_local_system() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  UniqueHandle token(raw);

  // The user's SID follows the TOKEN_USER record in the same buffer; the
  // first call only asks for the size.
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return false;
  // TOKEN_USER holds a pointer: the buffer is made of pointer-sized units so
  // that it is aligned for one.
  std::vector<void*> buffer((size + sizeof(void*) - 1) / sizeof(void*));
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return false;
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  return IsWellKnownSid(user->User.Sid, WinLocalSystemSid) != FALSE;
}

}  // namespace vestrana
