#include "command_line.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "system/windows_headers.h"

#include "system/text_win32.h"

namespace vestrana {

LaunchOptions read_launch_options() {
  // The process's own text, valid for the process's life; never null.
  const wchar_t* line = GetCommandLineW();
  return parse_command_line(to_utf8(line ? std::wstring_view(line) : std::wstring_view()));
}

}  // namespace vestrana
