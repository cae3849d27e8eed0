#include "system/platform_win32.h"

#include "base/clock.h"
#include "system/platform_parts_win32.h"

namespace vestrana {

Platform& windows_platform() {
  static Platform platform{windows_file_system(),     windows_registry(),      windows_processes(),
                           windows_shell_links(),     windows_known_folders(), windows_downloader(),
                           windows_system_messages(), system_clock()};
  return platform;
}

}  // namespace vestrana
