// The program entry: reads the command line and hands over to the setup's
// run with the Win32 implementations of everything it touches.
#include "system/windows_headers.h"

#include <cstdlib>
#include <memory>

#include "command_line_win32.h"
#include "payload/embedded_packed_app.h"
#include "base/product.h"
#include "setup_flow.h"
#include "system/local_system_win32.h"
#include "system/platform_win32.h"
#include "system/log_file_win32.h"
#include "system/platform_parts_win32.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "ui/language_win32.h"
#include "ui/window_host.h"

namespace vestrana {
namespace {

class WindowsStartupHost final : public StartupHost {
 public:
  explicit WindowsStartupHost(Platform& platform) : platform_(platform) {}

  LanguageCode user_language() override { return pick_language(); }

  bool runs_as_local_system() override { return vestrana::runs_as_local_system(); }

  Lock take_instance_lock() override {
    // The handle stays open for the whole life of the process; the system
    // releases it at exit.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, to_wide(kInstanceMutexName).c_str());
    return instance_lock_from(mutex != nullptr, GetLastError());
  }

  bool setup_running() override {
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, to_wide(kInstanceMutexName).c_str()));
    // Access denied: it exists, made by an elevated setup (OpenMutexW's documentation).
    return mutex.valid() || GetLastError() == ERROR_ACCESS_DENIED;
  }

  void bring_running_setup_forward() override {
    HWND window = FindWindowW(to_wide(kWindowClassName).c_str(), nullptr);
    if (window == nullptr) return;
    ShowWindow(window, SW_RESTORE);
    SetForegroundWindow(window);
  }

  std::span<const uint8_t> packed_app() override { return embedded_packed_app(); }

  int run_window(const InteractiveStart& start) override {
    return run_setup_window(start, platform_, embedded_packed_app());
  }

 private:
  Platform& platform_;
};

// The Win32 platform, reporting into `log`.
Platform with_log(const Platform& p, Log& log) {
  return Platform{p.files, p.registry, p.processes, p.links, p.folders, p.downloader, p.messages, p.clock, log};
}

}  // namespace
}  // namespace vestrana

// The runtime's default handler for an uncaught exception demangles the
// type's name for a console message that nobody would see (the program has
// no console); its demangler alone is a twentieth of the program. Ending at
// once is all that is left to do.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Every library loaded from here on, also those that system libraries load
  // by name (urlmon, WinINet, COM servers, the screen-reader proxy), comes
  // from the system folder only: never from the program's own folder, which
  // is usually Downloads, nor from the current folder or the PATH.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  using namespace vestrana;
  LaunchOptions options = read_launch_options();
  // Without --log, or with a file that cannot be opened, nothing is logged
  // and the run is the same.
  std::unique_ptr<LogOutput> output = options.log ? open_log_file(windows_file_system(), *options.log) : nullptr;
  std::unique_ptr<FileLog> file_log =
      output ? std::make_unique<FileLog>(std::move(output), windows_wall_clock()) : nullptr;
  Platform platform = with_log(windows_platform(), file_log ? static_cast<Log&>(*file_log) : null_log());
  WindowsStartupHost host(platform);
  int exit_code = run_logged_setup(own_command_line(), options, platform, host);
  if (file_log) file_log->close();
  return exit_code;
}
