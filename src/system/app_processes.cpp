#include "system/app_processes.h"

#include "base/text.h"

#include <cstdint>
#include <memory>
#include <optional>

#include "base/command_words.h"
#include "base/product.h"
#include "system/process_api.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// The name must be the program name itself: a byte-length check first, so
// that "vestranaX.exe" or a name with a different Unicode spelling never
// matches, then the bytes with ASCII case ignored.
bool is_app_name(const std::string& exe_name) {
  return exe_name.size() == kAppProgram.size() && equal_ignoring_ascii_case(exe_name, kAppProgram);
}

bool lies_in_one_of(const std::string& image_path, const std::vector<std::string>& folders) {
  std::optional<std::string> parent = parent_folder(image_path);
  if (!parent) return false;
  for (const std::string& folder : folders) {
    if (equal_ignoring_ascii_case(*parent, folder)) return true;
  }
  return false;
}

}  // namespace

std::vector<uint32_t> close_app_processes(ProcessApi& processes, const std::vector<std::string>& folders) {
  std::vector<uint32_t> ended;
  std::optional<std::vector<ProcessEntry>> list = processes.list_processes();
  if (!list) return ended;

  // Collect first and end afterwards, in the order of the snapshot. Each
  // candidate stays open until it is ended through the handle its path was
  // checked through: a process ID is only a number, and while an earlier
  // candidate is being waited for, a later one may end and its ID go to an
  // unrelated process.
  std::vector<std::unique_ptr<ProcessHandle>> candidates;
  for (const ProcessEntry& entry : *list) {
    if (!is_app_name(entry.exe_name)) continue;
    std::unique_ptr<ProcessHandle> process = processes.open_process(entry.pid);
    if (!process) continue;
    std::optional<std::string> image = process->image_path();
    if (image && lies_in_one_of(*image, folders)) {
      candidates.push_back(std::move(process));
      ended.push_back(entry.pid);
    }
  }

  for (const std::unique_ptr<ProcessHandle>& process : candidates) {
    process->terminate_and_wait(kEndedAppExitCode, kEndWaitMs);
  }
  return ended;
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
