#include "payload/uninstall.h"

#include <chrono>

#include "base/log.h"
#include "base/clock.h"
#include "payload/file_set.h"
#include "payload/install.h"
#include "payload/paced_step.h"
#include "payload/procedure_log.h"
#include "base/product.h"
#include "base/progress.h"
#include "system/app_processes.h"
#include "system/known_folders.h"
#include "system/our_folder.h"
#include "system/registry_entries.h"
#include "system/remove_tree.h"
#include "system/shortcuts.h"
#include "system/win_path.h"

namespace vestrana {

using std::chrono::milliseconds;

void remove_user_data(Platform& platform) {
  // One budget of its own for both folders: the app's browser processes may
  // still be shutting down and holding them.
  HoldRetry retry(platform.clock, kUserDataHoldLimit);
  for (KnownFolder id : {KnownFolder::LocalAppData, KnownFolder::RoamingAppData}) {
    std::optional<std::string> base = platform.folders.known_folder_path(id);
    if (!base) continue;
    std::string folder = join_path(*base, kAppIdentity);
    remove_tree(platform.files, retry, folder);
    log_line(platform.log, {"removed the user data folder ", folder});
  }
}

namespace {

// Whether the files in `folder` are ours to delete: it is the recorded
// folder, or it holds the application program.
bool holds_our_installation(Platform& platform, const std::string& folder, const std::optional<std::string>& recorded) {
  if (recorded && same_folder(platform.files, folder, *recorded)) return true;
  std::string app = join_path(folder, kAppProgram);
  return platform.files.exists(app) && !platform.files.is_folder(app);
}

// What the removal of the installed files left, for the log.
void log_remaining_files(Platform& platform, const std::string& folder) {
  log_line(platform.log, {"removed the installed files in ", folder});
  for (std::string_view name : {kAppProgram, kLoaderLibrary, kUninstallerName}) {
    std::string path = join_path(folder, name);
    if (platform.files.exists(path)) log_line(platform.log, {"could not remove ", path});
  }
}

}  // namespace

std::string removal_folder(Platform& platform, const std::optional<std::string>& dir,
                           const std::optional<InstalledEntry>& entry) {
  std::optional<std::string> recorded = our_recorded_folder(entry);
  std::optional<std::string> fallback = default_install_folder(platform.folders);
  if (fallback && !can_be_our_folder(*fallback)) fallback.reset();
  std::optional<std::string> named = dir && can_be_our_folder(*dir) ? dir : recorded ? recorded : fallback;

  if (named && holds_our_installation(platform, *named, recorded)) return *named;
  if (recorded) return *recorded;
  if (entry && fallback) return *fallback;
  return std::string();
}

Result uninstall(Platform& platform, ProgressRecord& progress, const std::string& requested_folder,
                 bool delete_user_data, std::string_view app_elevated, bool leave_uninstaller) {
  Clock& clock = platform.clock;
  const std::string install_folder = can_be_our_folder(requested_folder) ? requested_folder : std::string();

  Log& log = platform.log;
  log_line(log, {"remove the installation in ",
                 (install_folder.empty() ? std::string("(no folder of ours)") : install_folder),
                 (delete_user_data ? ", with the sign-in and settings" : ", keeping the sign-in and settings")});
  // Once the app is closed every step succeeds: what cannot be removed stays.
  PacedStep closing(platform, progress, Step::ClosingApp, 0.0f);
  // Without a folder there are no files to remove; an empty path would make
  // every name relative to wherever the process runs.
  ClosedApps closed;
  if (!install_folder.empty()) closed = close_app_processes(platform.processes, platform.files, {install_folder});
  log_ended(log, closed);
  // A copy of ours that cannot be ended would keep its files: nothing is
  // touched, and the user is told why.
  if (!closed.refused.empty()) {
    return closing.finish(Result::failure(std::string(app_elevated)), milliseconds(450), 0.15f);
  }
  (void)closing.finish(Result::success(), milliseconds(450), 0.15f);

  PacedStep removing(platform, progress, Step::Removing, 0.15f);
  for (const auto& link : {start_menu_shortcut_path(platform.folders), desktop_shortcut_path(platform.folders)}) {
    if (link) log_shortcut_removal(log, *link, remove_shortcut(platform.files, *link));
  }
  (void)set_autostart(platform.registry, platform.messages, install_folder, false);
  log_autostart(log, false);
  delete_uninstall_entry(platform.registry);
  log_line(log, {"deleted the uninstall entry HKCU\\", kUninstallKeyPath});
  delete_app_keys(platform.registry);
  log_app_keys_deleted(log);
  if (!install_folder.empty()) {
    // A set left half replaced by a killed update is made whole first, so
    // that whatever the removal cannot delete is one version, not two.
    std::vector<FileSetEvent> events;
    RecoveryResult recovered = recover_file_set(platform.files, clock, install_folder, kInstalledFiles, &events);
    log_file_set_events(log, install_folder, events);
    log_recovery(log, install_folder, recovered);
    remove_install_files(platform, install_folder, leave_uninstaller);
    log_remaining_files(platform, install_folder);
  }
  if (delete_user_data) remove_user_data(platform);
  (void)removing.finish(Result::success(), milliseconds(1100), 0.9f);

  PacedStep finishing(platform, progress, Step::Finishing, 0.9f);
  return finishing.finish(Result::success(), milliseconds(300), 1.0f);
}

}  // namespace vestrana
