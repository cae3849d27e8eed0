#include "payload/self_removal.h"

#include <cstdint>

#include "base/command_words.h"
#include "payload/install.h"
#include "base/product.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/our_folder.h"
#include "system/process_api.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

constexpr int kExitFailure = 1;
// No AutoRun commands, no delayed expansion, then the delay.
constexpr std::string_view kRemovalDelay = "/d /v:off /c ping 127.0.0.1 -n 3 > nul";
constexpr std::string_view kInterpreter = "cmd.exe";

std::string temp_copy_name(uint32_t pid) {
  return std::string(kProductName) + "-uninstall-" + std::to_string(pid) + ".exe";
}

std::optional<std::string> install_folder_for(FileSystem& files, KnownFolders& folders,
                                              const std::optional<std::string>& dir,
                                              const std::optional<std::string>& recorded,
                                              const std::string& self) {
  // A folder that cannot be ours is passed over as if it had not been
  // named: it is never handed on, and never opened to compare it.
  auto ours = [](std::optional<std::string> folder) {
    return folder && can_be_our_folder(*folder) ? folder : std::nullopt;
  };
  if (ours(dir)) return *dir;
  std::optional<std::string> own = ours(parent_folder(self));
  std::optional<std::string> ours_recorded = ours(recorded);
  if (ours_recorded && (!own || !same_folder(files, *own, *ours_recorded))) return ours_recorded;
  if (own) return own;
  return default_install_folder(folders);
}

// Clears the way for a new file at `path`: whatever has that name is removed
// itself (a link, never what it points at). False when something stays, so
// that nothing is written through it.
bool clear_name(FileSystem& files, const std::string& path) {
  if (!files.exists(path)) return true;
  // A file or file link goes with a delete, a folder link only with a folder removal.
  if (!files.delete_file(path)) files.remove_folder(path);
  return !files.exists(path);
}

// Whether the interpreter takes `path` between double quotes literally. Inside
// quotes it still expands %name%, and a quote or a control character (a line
// break ends the whole command) would let the rest of the path escape the
// quotes.
bool safe_inside_quotes(std::string_view path) {
  if (path.empty()) return false;
  for (char c : path) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '%' || byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::vector<std::string> relaunch_arguments(const std::string& install_folder, bool silent,
                                            const std::optional<std::string>& log_file) {
  std::vector<std::string> args = {"--uninstall", "--from-temp", "--dir", install_folder};
  if (silent) args.push_back("--silent");
  if (log_file) args.insert(args.end(), {"--log", *log_file});
  return args;
}

int relaunch_from_temp(ProcessApi& processes, FileSystem& files, KnownFolders& folders,
                       const std::optional<std::string>& dir,
                       const std::optional<std::string>& recorded_location, bool silent,
                       const std::optional<std::string>& log_file) {
  std::optional<std::string> self = processes.own_program_path();
  if (!self) return kExitFailure;
  std::optional<std::string> install_folder = install_folder_for(files, folders, dir, recorded_location, *self);
  if (!install_folder) return kExitFailure;
  std::optional<std::string> temp = files.temp_folder();
  if (!temp) return kExitFailure;
  std::string copy = join_path(*temp, temp_copy_name(processes.current_process_id()));

  std::vector<uint8_t> bytes;
  if (files.read_file(*self, bytes)) return kExitFailure;
  if (!clear_name(files, copy)) return kExitFailure;
  if (files.write_new_file(copy, bytes)) {
    files.delete_file(copy);  // a partial program must not be left to be started later
    return kExitFailure;
  }

  ProcessStart start;
  start.program = copy;
  start.command_line = build_command_line(copy, relaunch_arguments(*install_folder, silent, log_file));
  start.wait = silent;
  // Started from inside the install folder (a double-click on its
  // uninstall.exe), the copy would otherwise hold that folder as its current
  // folder and pass it on to the delayed interpreter, and the folder could
  // never be removed.
  start.working_folder = *temp;
  ProcessOutcome outcome = processes.start(start);
  if (!outcome.started) return kExitFailure;
  if (!silent) return 0;
  // The copy's code is passed on as the system reports it (a code above
  // INT_MAX, such as an NTSTATUS of a crash, keeps its bits).
  return outcome.exit_code ? static_cast<int>(*outcome.exit_code) : kExitFailure;
}

std::string removal_command_text(const std::optional<std::string>& running_program,
                                 const std::optional<std::string>& removed_folder) {
  std::string text(kRemovalDelay);
  if (running_program && safe_inside_quotes(*running_program)) {
    text += " & del /f /q \"" + *running_program + "\"";
  }
  if (removed_folder && safe_inside_quotes(*removed_folder)) {
    const std::string& folder = *removed_folder;
    text += " & (if not exist \"" + join_path(folder, kAppProgram) + "\" del /f /q \"" +
            join_path(folder, kUninstallerName) + "\") & rmdir \"" + folder + "\"";
  }
  return text;
}

void schedule_self_removal(ProcessApi& processes, const std::string& install_folder,
                           bool removal_completed) {
  std::optional<std::string> self = processes.own_program_path();
  std::optional<std::string> folder;
  if (removal_completed && can_be_our_folder(install_folder)) folder = install_folder;

  std::optional<std::string> system = processes.system_folder();
  if (!system) return;  // never fall back to a search that could find a planted cmd.exe
  ProcessStart start;
  start.program = join_path(*system, kInterpreter);
  start.command_line = std::string(kInterpreter) + " " + removal_command_text(self, folder);
  start.creation_flags = kCreateNoWindow;
  start.working_folder = *system;  // never the folder it removes
  (void)processes.start(start);
}

}  // namespace vestrana
