#include "payload/self_removal.h"

#include <cstdint>

#include "base/command_words.h"
#include "payload/install.h"
#include "base/product.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/our_folder.h"
#include "system/process_api.h"
#include "system/registry_entries.h"
#include "system/remove_tree.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

constexpr int kExitFailure = 1;

std::optional<std::string> install_folder_for(FileSystem& files, KnownFolders& folders,
                                              const std::optional<std::string>& dir,
                                              const std::optional<std::string>& recorded, const std::string& self) {
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

std::string temp_name(std::string_view kind, uint32_t pid) {
  return std::string(kProductName) + "-" + std::string(kind) + "-" + std::to_string(pid) + ".exe";
}

}  // namespace

std::vector<std::string> relaunch_arguments(const std::string& install_folder, std::optional<uint64_t> stage_one,
                                            bool silent, const std::optional<std::string>& log_file) {
  std::vector<std::string> args = {"--uninstall", "--from-temp", "--dir", install_folder};
  if (stage_one) args.insert(args.end(), {"--after", std::to_string(*stage_one)});
  if (silent) args.push_back("--silent");
  if (log_file) args.insert(args.end(), {"--log", *log_file});
  return args;
}

int relaunch_from_temp(ProcessApi& processes, FileSystem& files, KnownFolders& folders,
                       const std::optional<std::string>& dir, const std::optional<std::string>& recorded_location,
                       bool silent, const std::optional<std::string>& log_file) {
  std::optional<std::string> self = processes.own_program_path();
  if (!self) return kExitFailure;
  std::optional<std::string> install_folder = install_folder_for(files, folders, dir, recorded_location, *self);
  if (!install_folder) return kExitFailure;
  std::optional<std::string> temp = files.temp_folder();
  if (!temp) return kExitFailure;
  std::string copy = join_path(*temp, temp_name("uninstall", processes.current_process_id()));

  std::vector<uint8_t> bytes;
  if (files.read_file(*self, bytes)) return kExitFailure;
  if (!clear_name(files, copy)) return kExitFailure;
  if (files.write_new_file(copy, bytes)) {
    files.delete_file(copy);  // a partial program must not be left to be started later
    return kExitFailure;
  }

  // Without it the helper cannot wait for this process, and a silent
  // removal's uninstall.exe, which this process runs from, would stay.
  std::unique_ptr<PassedHandle> own = processes.pass_own_process();
  ProcessStart start;
  start.program = copy;
  std::optional<uint64_t> own_value = own ? std::optional<uint64_t>(own->value()) : std::nullopt;
  start.command_line = build_command_line(copy, relaunch_arguments(*install_folder, own_value, silent, log_file));
  if (own_value) start.passed_handles.push_back(*own_value);
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

void schedule_self_removal(ProcessApi& processes, FileSystem& files, const std::vector<uint64_t>& after,
                           const std::string& install_folder, bool removal_completed) {
  std::optional<std::string> self = processes.own_program_path();
  std::optional<std::string> temp = files.temp_folder();
  if (!self || !temp) return;
  std::vector<uint8_t> bytes;
  if (files.read_file(*self, bytes)) return;
  std::string helper = join_path(*temp, temp_name("cleanup", processes.current_process_id()));
  if (files.write_new_file(helper, bytes)) {
    files.delete_file(helper);
    return;
  }
  // From here on the system deletes the helper's file with the last handle
  // on this opening: at once when anything below fails, else when the
  // helper, which inherits it, ends.
  std::unique_ptr<PassedHandle> image = processes.pass_file_deleted_on_close(helper);
  if (!image) {
    files.delete_file(helper);
    return;
  }
  std::unique_ptr<PassedHandle> own = processes.pass_own_process();
  if (!own) return;

  ProcessStart start;
  start.program = helper;
  start.passed_handles = {own->value()};
  start.passed_handles.insert(start.passed_handles.end(), after.begin(), after.end());
  std::vector<std::string> args = {"--cleanup"};
  for (uint64_t value : start.passed_handles) args.insert(args.end(), {"--after", std::to_string(value)});
  args.insert(args.end(), {"--copy", *self});
  if (removal_completed && can_be_our_folder(install_folder)) args.insert(args.end(), {"--dir", install_folder});
  start.passed_handles.push_back(image->value());
  start.command_line = build_command_line(helper, args);
  start.creation_flags = kCreateNoWindow;
  start.working_folder = *temp;  // never the folder it removes
  (void)processes.start(start);
}

namespace {

// Whether an installation is in the opened folder again, or on its way.
bool installation_again(Platform& platform, OpenEntry& folder, const std::function<bool()>& setup_running) {
  if (setup_running()) return true;
  OsError error;
  if (folder.open(std::string(kAppProgram), &error)) return true;
  // Only a program that is surely missing counts as absent (2: not found).
  if (error.code != kErrorFileNotFound) return true;
  return read_installed_entry(platform.registry, platform.folders).has_value();
}

}  // namespace

int run_cleanup(Platform& platform, const CleanupRequest& request, const std::function<bool()>& setup_running) {
  for (uint64_t value : request.after) {
    if (!platform.processes.wait_for_passed_process(value)) return kExitFailure;
  }
  HoldRetry retry(platform.clock);
  if (request.copy) {
    std::unique_ptr<OpenEntry> copy =
        open_surely(retry, [&](OsError* error) { return platform.files.open_entry(*request.copy, error); });
    if (copy && copy->kind() == EntryKind::File) remove_surely(retry, *copy);
  }
  if (!request.folder || !can_be_our_folder(*request.folder)) return 0;
  std::unique_ptr<OpenEntry> folder =
      open_surely(retry, [&](OsError* error) { return platform.files.open_entry(*request.folder, error); });
  if (!folder || folder->kind() != EntryKind::Folder) return 0;
  std::unique_ptr<OpenEntry> uninstaller =
      open_surely(retry, [&](OsError* error) { return folder->open(std::string(kUninstallerName), error); });
  if (uninstaller && uninstaller->kind() != EntryKind::Folder &&
      !installation_again(platform, *folder, setup_running)) {
    remove_surely(retry, *uninstaller);
  }
  uninstaller.reset();  // a file deleted without POSIX semantics goes with its handle
  if (!installation_again(platform, *folder, setup_running)) remove_surely(retry, *folder);
  return 0;
}

}  // namespace vestrana
