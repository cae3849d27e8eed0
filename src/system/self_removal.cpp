#include "system/self_removal.h"

#include <cstdint>

#include "command_line.h"
#include "product.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/process_api.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

constexpr int kExitFailure = 1;
constexpr std::string_view kRemovalDelay = "/c ping 127.0.0.1 -n 3 > nul";
constexpr std::string_view kInterpreter = "cmd.exe";

std::string temp_copy_name(uint32_t pid) {
  return std::string(kProductName) + "-uninstall-" + std::to_string(pid) + ".exe";
}

std::optional<std::string> install_folder_for(KnownFolders& folders, const std::optional<std::string>& dir,
                                              const std::string& self) {
  if (dir) return *dir;
  if (std::optional<std::string> parent = parent_folder(self)) return parent;
  return default_install_folder(folders);
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

std::vector<std::string> relaunch_arguments(const std::string& install_folder, bool silent) {
  std::vector<std::string> args = {"--uninstall", "--from-temp", "--dir", install_folder};
  if (silent) args.push_back("--silent");
  return args;
}

int relaunch_from_temp(ProcessApi& processes, FileSystem& files, KnownFolders& folders,
                       const std::optional<std::string>& dir, bool silent) {
  std::optional<std::string> self = processes.own_program_path();
  if (!self) return kExitFailure;
  std::optional<std::string> install_folder = install_folder_for(folders, dir, *self);
  if (!install_folder) return kExitFailure;
  std::optional<std::string> temp = files.temp_folder();
  if (!temp) return kExitFailure;
  std::string copy = join_path(*temp, temp_copy_name(processes.current_process_id()));

  std::vector<uint8_t> bytes;
  if (files.read_file(*self, bytes)) return kExitFailure;
  if (files.write_new_file(copy, bytes)) return kExitFailure;

  ProcessStart start;
  start.program = copy;
  start.command_line = build_command_line(copy, relaunch_arguments(*install_folder, silent));
  start.wait = silent;
  ProcessOutcome outcome = processes.start(start);
  if (!outcome.started) return kExitFailure;
  if (!silent) return 0;
  // The copy's code is passed on as the system reports it (a code above
  // INT_MAX, such as an NTSTATUS of a crash, keeps its bits).
  return outcome.exit_code ? static_cast<int>(*outcome.exit_code) : kExitFailure;
}

std::string removal_command_text(const std::vector<std::string>& files,
                                 const std::optional<std::string>& folder_to_remove) {
  std::string text(kRemovalDelay);
  for (const std::string& file : files) {
    if (safe_inside_quotes(file)) text += " & del /f /q \"" + file + "\"";
  }
  if (folder_to_remove && safe_inside_quotes(*folder_to_remove)) {
    text += " & rmdir \"" + *folder_to_remove + "\"";
  }
  return text;
}

void schedule_self_removal(ProcessApi& processes, const std::string& install_folder,
                           bool removal_completed) {
  std::vector<std::string> files;
  if (std::optional<std::string> self = processes.own_program_path()) files.push_back(*self);
  std::optional<std::string> folder;
  if (removal_completed) {
    files.push_back(join_path(install_folder, kUninstallerName));
    folder = install_folder;
  }

  std::optional<std::string> system = processes.system_folder();
  if (!system) return;  // never fall back to a search that could find a planted cmd.exe
  ProcessStart start;
  start.program = join_path(*system, kInterpreter);
  start.command_line = std::string(kInterpreter) + " " + removal_command_text(files, folder);
  start.creation_flags = kCreateNoWindow;
  (void)processes.start(start);
}

}  // namespace vestrana
