#pragma once
// Ending running copies of the application before its files are replaced or
// deleted (a running program's file cannot be), and starting the installed
// application.

#include <cstdint>
#include <string>
#include <vector>

namespace vestrana {

class FileSystem;
class ProcessApi;

inline constexpr uint32_t kEndedAppExitCode = 0;
inline constexpr uint32_t kEndWaitMs = 5000;

// The IDs of the processes, for the log.
struct ClosedApps {
  std::vector<uint32_t> apps;  // the app's copies ended
  std::vector<uint32_t> browsers;  // and their browser processes
  // Copies of ours that run with more rights than this program (elevated):
  // they cannot be ended, so nothing was.
  std::vector<uint32_t> refused;
};

// Ends every running "vestrana.exe" whose program file lies directly in one of
// `folders`, in the order the process list delivers them, and then the
// WebView2 processes ("msedgewebview2.exe") whose parent chain leads to one of
// them, giving each up to 5 s to go away. A folder matches as written (ASCII
// case aside) or when both resolve to the same final path (an AppData moved
// by a junction). Processes that cannot be looked at are left alone; when one
// of ours can be looked at but not ended, none is.
ClosedApps close_app_processes(ProcessApi& processes, FileSystem& files, const std::vector<std::string>& folders);

// Starts `install_folder`\vestrana.exe without arguments and without waiting,
// with that folder as its current folder and no handle of the setup's.
// A failure to start is ignored.
void launch_app(ProcessApi& processes, const std::string& install_folder);

}  // namespace vestrana
