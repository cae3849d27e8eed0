#include "system/app_processes.h"

#include "base/text.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "base/command_words.h"
#include "base/product.h"
#include "system/file_system.h"
#include "system/our_folder.h"
#include "system/process_api.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// The WebView2 runtime's browser, renderer and GPU processes: they hold the
// user-data folder until they have shut down.
constexpr std::string_view kBrowserProgram = "msedgewebview2.exe";

// The name must be the program name itself: a byte-length check first, so
// that "vestranaX.exe" or a name with a different Unicode spelling never
// matches, then the bytes with ASCII case ignored.
bool is_named(const std::string& exe_name, std::string_view program) {
  return exe_name.size() == program.size() && equal_ignoring_ascii_case(exe_name, program);
}

// Whether the image lies directly in one of the folders: as written, or, for
// a folder that can be ours, by final paths (an AppData moved by a junction).
// A copy running from a network share never makes this program connect to it.
bool lies_in_one_of(FileSystem& files, const std::string& image_path, const std::vector<std::string>& folders) {
  std::optional<std::string> parent = parent_folder(image_path);
  if (!parent) return false;
  for (const std::string& folder : folders) {
    if (equal_ignoring_ascii_case(*parent, folder)) return true;
  }
  std::optional<std::string> final_parent = can_be_our_folder(*parent) ? files.final_path(*parent) : std::nullopt;
  if (!final_parent) return false;
  for (const std::string& folder : folders) {
    std::optional<std::string> final = files.final_path(folder);
    if (final && same_path(*final_parent, *final, true)) return true;
  }
  return false;
}

struct Opened {
  uint32_t pid;
  uint32_t parent_pid;
  std::unique_ptr<ProcessHandle> handle;
  std::optional<uint64_t> created;
  bool app;  // else a browser process
  bool ours;
  EndRights rights = EndRights::Gone;
};

// A parent ID names the parent only while no other process has taken it
// over: the parent must have been created before its child.
bool is_child_of(const Opened& child, const Opened& parent) {
  return parent.ours && child.parent_pid == parent.pid && child.created && parent.created &&
         *parent.created < *child.created;
}

// Our copies and every browser process, in snapshot order, the browser
// processes marked ours when their parent chain leads to one of our copies.
// Each stays open until it is ended through the handle it was checked
// through: a process ID is only a number, and while an earlier one is being
// waited for, a later one may end and its ID go to an unrelated process.
std::vector<Opened> open_candidates(ProcessApi& processes, FileSystem& files, const std::vector<std::string>& folders,
                                    const std::vector<ProcessEntry>& list) {
  std::vector<Opened> opened;
  for (const ProcessEntry& entry : list) {
    bool app = is_named(entry.exe_name, kAppProgram);
    if (!app && !is_named(entry.exe_name, kBrowserProgram)) continue;
    std::unique_ptr<ProcessHandle> handle = processes.open_process(entry.pid);
    if (!handle) continue;
    std::optional<std::string> image = app ? handle->image_path() : std::nullopt;
    bool ours = image && lies_in_one_of(files, *image, folders);
    if (app && !ours) continue;
    std::optional<uint64_t> created = handle->creation_time();
    opened.push_back(Opened{entry.pid, entry.parent_pid, std::move(handle), created, app, ours});
  }
  for (bool grew = true; grew;) {
    grew = false;
    for (Opened& child : opened) {
      for (const Opened& parent : opened) {
        if (child.ours || !is_child_of(child, parent)) continue;
        child.ours = grew = true;
      }
    }
  }
  return opened;
}

}  // namespace

ClosedApps close_app_processes(ProcessApi& processes, FileSystem& files, const std::vector<std::string>& folders) {
  ClosedApps closed;
  std::optional<std::vector<ProcessEntry>> list = processes.list_processes();
  if (!list) return closed;
  std::vector<Opened> opened = open_candidates(processes, files, folders, *list);

  // Rights for all first: ending some copies and leaving an elevated one
  // running would only break its session and still leave the files held.
  for (Opened& process : opened) {
    if (!process.ours) continue;
    process.rights = process.handle->acquire_end_rights();
    if (process.rights == EndRights::Denied) closed.refused.push_back(process.pid);
  }
  if (!closed.refused.empty()) return closed;
  // The app first, then what it started.
  for (bool apps : {true, false}) {
    for (Opened& process : opened) {
      if (process.app != apps || process.rights != EndRights::Granted) continue;
      process.handle->terminate_and_wait(kEndedAppExitCode, kEndWaitMs);
      (apps ? closed.apps : closed.browsers).push_back(process.pid);
    }
  }
  return closed;
}

void launch_app(ProcessApi& processes, const std::string& install_folder) {
  ProcessStart start;
  start.program = join_path(install_folder, kAppProgram);
  start.command_line = build_command_line(start.program, {});
  // Not the setup's own current folder: a USB stick or network folder that
  // the setup ran from would stay in use for the app's whole life.
  start.working_folder = install_folder;
  (void)processes.start(start);
}

}  // namespace vestrana
