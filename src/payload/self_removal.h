#pragma once
// Removing the uninstaller itself. A program cannot delete its own file while
// it runs, so a removal runs in three processes: the installed uninstaller
// copies itself into the temporary folder and starts the copy (stage 1); the
// copy removes the installation (stage 2); at its very end the copy starts a
// cleanup helper (stage 3), a further copy of itself that the system deletes
// when the helper ends. The helper waits on the handles of the processes that
// ran from our files, not on a clock, and then deletes the temporary copy,
// the installed uninstall.exe and the empty install folder. No command
// interpreter takes part: its delayed "ping, then del" is what security
// products flag as ransomware, and it cannot take every path literally.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "system/platform.h"

namespace vestrana {

class FileSystem;
class KnownFolders;
class ProcessApi;

// Stage 1. Copies the running program to <temp>\vestrana-uninstall-<pid>.exe
// and starts the copy with --uninstall --from-temp --dir <folder>
// [--after <handle>] [--silent] [--log <file>], so that the copy writes into
// the same admin log; the handle, the only one the copy inherits, is this
// process's own: the cleanup helper waits on it before it deletes the
// uninstaller this process runs from.
// The copy is always a new file: whatever has that name (a stale copy, a
// planted link) is removed first and never written through, and a copy that
// fails half-way is deleted.
// The folder is `dir` when given; else the running program's folder, unless
// an installation is recorded in another folder (`recorded_location`): a
// setup started with --uninstall from Downloads removes the installation, not
// Downloads; else the default install folder. A folder that cannot be ours
// (can_be_our_folder) counts as not given: another program's folder or a
// network path is neither handed to the copy nor opened here.
// Returns the exit code for this process: not silent, 0 once the copy has
// started; silent, the copy's own exit code after it ended. 1 when the
// program's path, the temporary folder, the copy or the start fails.
int relaunch_from_temp(ProcessApi& processes, FileSystem& files, KnownFolders& folders,
                       const std::optional<std::string>& dir, const std::optional<std::string>& recorded_location,
                       bool silent, const std::optional<std::string>& log_file = std::nullopt);

// The arguments that stage 1 hands to the copy, one word each.
std::vector<std::string> relaunch_arguments(const std::string& install_folder, std::optional<uint64_t> stage_one,
                                            bool silent, const std::optional<std::string>& log_file = std::nullopt);

// Stage 2's last act. Writes the running program again as
// <temp>\vestrana-cleanup-<pid>.exe, opens it delete-on-close and starts it,
// without a window and without waiting, as
//   --cleanup --after <this process> [--after <each of `after`>]
//     --copy <running program> [--dir <folder>]
// inheriting only the handles it names and the one on its own file, which
// goes when the helper ends (or at once when it cannot be started). `after`
// are the handles this process inherited (stage 1's). The folder is named
// only when the removal completed and it can be ours. A failure is ignored.
void schedule_self_removal(ProcessApi& processes, FileSystem& files, const std::vector<uint64_t>& after,
                           const std::string& install_folder, bool removal_completed);

// What the helper is asked to do, from its command line.
struct CleanupRequest {
  std::vector<uint64_t> after;  // processes that ran from our files
  std::optional<std::string> copy;  // the temporary uninstaller copy
  std::optional<std::string> folder;  // the install folder of a completed removal
};

// Stage 3, the helper. Waits until every process of `after` has ended; a
// value that is no process handle ends the run with 1 and nothing deleted.
// Then deletes the copy when it is a plain file (a link planted under its
// predictable name is not ours), then, in the folder (opened without
// following a link, never a link itself), "uninstall.exe" and the folder
// once empty, each only while no installation is there again: right before
// each delete, `setup_running` (another setup holds the single-instance
// lock, as an install does while it runs), the application program in the
// folder, or a recorded uninstall entry keeps it. The helper never takes
// the lock itself. Passing holds are waited out; other failures ignored.
int run_cleanup(Platform& platform, const CleanupRequest& request, const std::function<bool()>& setup_running);

}  // namespace vestrana
