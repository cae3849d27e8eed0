#include "system/platform.h"

#include "base/clock.h"
#include "system/win32_platform_parts.h"

namespace vestrana {

Platform& windows_platform() {
  static Platform platform{windows_file_system(), windows_registry(),       windows_processes(),
                           windows_shell_links(), windows_known_folders(),  windows_downloader(),
                           windows_system_messages(), system_clock()};
  return platform;
}

}  // namespace vestrana
