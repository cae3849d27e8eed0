#pragma once
// Removing the uninstaller itself. A program cannot delete its own file while
// it runs, so a removal runs in three processes: the installed uninstaller
// copies itself into the temporary folder and starts the copy (stage 1); the
// copy removes the installation, the installed uninstall.exe included
// (stage 2); at its very end the copy starts a hidden command interpreter that
// waits about two seconds and deletes the copy and what is left (stage 3).

#include <optional>
#include <string>
#include <vector>

namespace vestrana {

class FileSystem;
class KnownFolders;
class ProcessApi;

// Stage 1. Copies the running program to <temp>\vestrana-uninstall-<pid>.exe
// and starts the copy with --uninstall --from-temp --dir <folder> [--silent]
// [--log <file>], so that the copy writes into the same admin log.
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
                       const std::optional<std::string>& dir,
                       const std::optional<std::string>& recorded_location, bool silent,
                       const std::optional<std::string>& log_file = std::nullopt);

// The arguments that stage 1 hands to the copy, one word each.
std::vector<std::string> relaunch_arguments(const std::string& install_folder, bool silent,
                                            const std::optional<std::string>& log_file = std::nullopt);

// The text after "cmd.exe " for stage 3:
//   /d /v:off /c ping 127.0.0.1 -n 3 > nul [& del /f /q "<program>"]
//     [& (if not exist "<folder>\vestrana.exe" del /f /q "<folder>\uninstall.exe") & rmdir "<folder>"]
// The ping is the delay that lets the temporary copy end before its file is
// deleted. /d keeps the user's AutoRun commands out and /v:off keeps "!" in a
// path literal. The uninstaller is deleted only while the folder holds no
// application again: a script that installs right after a removal must keep
// its new uninstaller, and rmdir removes only an empty folder anyway.
// Quotes keep blanks, "&", "^" and parentheses in a path literal, but the
// interpreter expands %name% even inside quotes and a quote, line break or
// other control character would end the path early, so a path holding any of
// these cannot be written safely and its part is left out: that file or
// folder stays rather than the command touching something else.
std::string removal_command_text(const std::optional<std::string>& running_program,
                                 const std::optional<std::string>& removed_folder);

// Stage 3. Starts the hidden interpreter (cmd.exe from the system folder, no
// window, no wait) that deletes the running program and, when the removal
// completed, the installed uninstall.exe and the then empty install folder.
// An empty install folder, or one that cannot be ours, means that no folder
// of ours was removed.
// A failure to start is ignored.
void schedule_self_removal(ProcessApi& processes, const std::string& install_folder,
                           bool removal_completed);

}  // namespace vestrana
