#pragma once
// Processes: the process list, ending processes, starting programs, and the
// running program's own identity.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system/os_error.h"

namespace vestrana {

struct ProcessEntry {
  uint32_t pid = 0;
  // The snapshot's executable name, converted with U+FFFD for invalid UTF-16.
  std::string exe_name;
  // The process that created it (th32ParentProcessID). Only a hint: the ID
  // may since have been given to another process.
  uint32_t parent_pid = 0;
};

inline constexpr uint32_t kCreateNoWindow = 0x08000000;

struct ProcessStart {
  std::string program;  // passed as the application name
  std::string command_line;  // the complete command line, used verbatim
  uint32_t creation_flags = 0;
  bool wait = false;  // wait without a time limit and read the exit code
  // The new process's current folder; empty: this process's own. A process
  // keeps its current folder open, so the stages of a removal must not sit
  // in the folder they remove.
  std::string working_folder;
  // The only handles the new process inherits (PassedHandle values). No
  // other handle of this process reaches it, the standard handles included:
  // a pipe through which a deployment tool reads this program's output must
  // not be held open by what it starts.
  std::vector<uint64_t> passed_handles;
};

struct ProcessOutcome {
  bool started = false;
  std::optional<uint32_t> exit_code;  // only when waited for
};

enum class EndRights {
  Granted,
  // Access denied: the process runs with more rights than this one.
  Denied,
  // The process has gone, or its ID now names another process.
  Gone,
};

// One process, opened once for querying: everything done to it goes through
// this handle, so it always acts on the process that was opened, even when
// that process has ended and its ID has been given to another one.
class ProcessHandle {
 public:
  virtual ~ProcessHandle() = default;
  // QueryFullProcessImageNameW (1024 units); nothing when it fails.
  virtual std::optional<std::string> image_path() = 0;
  // GetProcessTimes' creation time (100 ns units); nothing when it fails.
  virtual std::optional<uint64_t> creation_time() = 0;
  // OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE |
  // SYNCHRONIZE) on the ID, kept only when it is the same process as this
  // handle's (same creation time). Query rights are granted on a process
  // that terminate rights are refused on, so they are asked for apart.
  virtual EndRights acquire_end_rights() = 0;
  // TerminateProcess(exit_code), then WaitForSingleObject(timeout_ms),
  // through the end rights; nothing without them. Nothing is reported.
  virtual void terminate_and_wait(uint32_t exit_code, uint32_t timeout_ms) = 0;
};

// A handle made for a started program to inherit (ProcessStart::
// passed_handles), closed with this object. An inherited handle keeps its
// value in the new process, so the value is handed on its command line.
class PassedHandle {
 public:
  virtual ~PassedHandle() = default;
  virtual uint64_t value() const = 0;
};

class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  // CreateToolhelp32Snapshot + Process32FirstW/NextW; nothing when the
  // snapshot cannot be taken.
  virtual std::optional<std::vector<ProcessEntry>> list_processes() = 0;
  // OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION), without inheritance;
  // nothing when it fails.
  virtual std::unique_ptr<ProcessHandle> open_process(uint32_t pid) = 0;
  // CreateProcessW (environment of this process; nothing inherited but the
  // passed handles, through PROC_THREAD_ATTRIBUTE_HANDLE_LIST); handles are
  // closed at once unless waiting.
  virtual ProcessOutcome start(const ProcessStart& start) = 0;
  // An inheritable handle on this process that allows waiting for its end
  // (SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION); nothing when it
  // cannot be made.
  virtual std::unique_ptr<PassedHandle> pass_own_process() = 0;
  // Opens the plain file `path`, inheritable, with FILE_FLAG_DELETE_ON_CLOSE:
  // the system deletes it when the last handle on this opening closes, the
  // inherited one of a program started from it included. Nothing when it
  // cannot be opened so, or when `path` is a link or a folder.
  virtual std::unique_ptr<PassedHandle> pass_file_deleted_on_close(const std::string& path) = 0;
  // Waits without a time limit until the process behind the inherited
  // handle `value` has ended. False, at once, when `value` is no handle on
  // another process.
  virtual bool wait_for_passed_process(uint64_t value) = 0;
  // GetModuleFileNameW on the program's own module.
  virtual std::optional<std::string> own_program_path(OsError* error = nullptr) = 0;
  virtual uint32_t current_process_id() = 0;
  // GetSystemDirectoryW: where the system's own programs (cmd.exe) live, so
  // that they are never looked up next to this program or in the current
  // folder, where anyone could have placed a program of the same name.
  virtual std::optional<std::string> system_folder() = 0;
};

}  // namespace vestrana
