#include "command_line_win32.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "system/windows_headers.h"

#include "system/text_win32.h"

namespace vestrana {
namespace {

// The folder (or file) in the full form the system itself would make of it, resolved
// against this process's current folder. Done once at start-up, so that the
// temporary copy, the removal and the delayed command (which may run with
// another current folder) all act on one and the same folder, and later
// calls never see "." or ".." parts. Unchanged when the system cannot resolve it.
std::string full_folder_path(const std::string& folder) {
  if (folder.empty()) return folder;
  std::wstring wide = to_wide(folder);
  std::wstring full(MAX_PATH, L'\0');
  // The needed size can grow between two calls only if the current folder
  // changes; a few rounds are enough.
  for (int round = 0; round < 3; ++round) {
    DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return folder;
    if (length < full.size()) {
      full.resize(length);
      return to_utf8(full);
    }
    full.resize(length);
  }
  return folder;
}

}  // namespace

std::string own_command_line() {
  // The process's own text, valid for the process's life; never null.
  const wchar_t* line = GetCommandLineW();
  return to_utf8(line ? std::wstring_view(line) : std::wstring_view());
}

LaunchOptions read_launch_options() {
  LaunchOptions options = parse_command_line(own_command_line());
  if (options.dir) options.dir = full_folder_path(*options.dir);
  // The temporary copy of a removal runs in another current folder and
  // must write into the same file.
  if (options.log) options.log = full_folder_path(*options.log);
  return options;
}

}  // namespace vestrana
