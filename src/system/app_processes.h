#pragma once
// Ending running copies of the application before its files are replaced or
// deleted (a running program's file cannot be), and starting the installed
// application.

#include <cstdint>
#include <string>
#include <vector>

namespace vestrana {

class ProcessApi;

inline constexpr uint32_t kEndedAppExitCode = 0;
inline constexpr uint32_t kEndWaitMs = 5000;

// Ends every running "vestrana.exe" whose program file lies directly in one of
// `folders`, in the order the process list delivers them, giving each up to
// 5 s to go away. Folders are compared as written (ASCII case aside): a
// trailing backslash or another spelling of the same folder does not match.
// Processes that cannot be opened or ended are left alone; nothing is reported.
// Returns the IDs of the processes it ended, for the log.
std::vector<uint32_t> close_app_processes(ProcessApi& processes, const std::vector<std::string>& folders);

// Starts `install_folder`\vestrana.exe without arguments and without waiting,
// with that folder as its current folder and no handle of the setup's.
// A failure to start is ignored.
void launch_app(ProcessApi& processes, const std::string& install_folder);

}  // namespace vestrana
