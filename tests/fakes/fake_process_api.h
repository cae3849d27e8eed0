#pragma once
// An in-memory process table and program starter standing in for the Win32
// process calls.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/call_log.h"
#include "fakes/fake_file_system.h"
#include "system/process_api.h"

namespace vestrana {

struct FakeProcess {
  uint32_t pid = 0;
  std::string exe_name;
  // Nothing: the full path cannot be queried.
  std::optional<std::string> image_path;
  // False: the process cannot be opened for querying (another user's or a
  // protected process).
  bool can_query = true;
  // OpenProcess: a process at a higher integrity level denies PROCESS_TERMINATE to a medium-integrity caller (Mandatory Integrity Control, no-write-up).
  bool elevated = false;
  uint32_t parent_pid = 0;
  // Which process this is, unlike its ID, which the system hands out again
  // once the process has ended. Set by FakeProcessApi::add.
  uint64_t identity = 0;
  // GetProcessTimes: later for every process added; set by add.
  uint64_t creation_time = 0;
};

class FakeProcessApi : public ProcessApi {
 public:
  struct EndAttempt {
    uint32_t pid;
    uint32_t exit_code;
    uint32_t timeout_ms;
  };

  // The running processes, in snapshot order. Ended processes leave the table.
  std::vector<FakeProcess> processes;
  bool snapshot_fails = false;

  // Every terminate_and_wait call, and the pids that actually ended, in order.
  std::vector<EndAttempt> end_attempts;
  std::vector<uint32_t> terminated;
  // Also gets every process that actually ended, when set.
  CallLog* shared_log = nullptr;
  // Every pid whose image path was asked for, in order.
  std::vector<uint32_t> queried;
  // Runs during each wait after an ending (the time in which other processes
  // may end and their IDs be given out again).
  std::function<void()> during_wait;
  // Runs before a process is opened again by its ID for end rights.
  std::function<void(uint32_t)> before_reopen;

  // Every start request, in order (failed starts included).
  std::vector<ProcessStart> started;
  // Programs (exact text) whose start fails; or every start when start_fails.
  std::set<std::string> failing_programs;
  bool start_fails = false;
  // Exit code reported for a waited-for program; default_exit_code otherwise.
  std::map<std::string, uint32_t> exit_codes;
  uint32_t default_exit_code = 0;
  // False: the exit code cannot be read after the wait.
  bool exit_code_readable = true;
  // Runs for every successful start, before the outcome is returned (lets a
  // test make the started program leave traces, such as files or registry values).
  std::function<void(const ProcessStart&)> on_start;

  std::optional<std::string> own_path = "C:\\Users\\u\\AppData\\Local\\vestrana\\uninstall.exe";
  OsError own_path_error{"The system cannot find the file specified.", 2};
  uint32_t pid = 4242;
  std::optional<std::string> system_dir = "C:\\WINDOWS\\system32";

  // ---- Handles passed to started programs ----
  // Where pass_file_deleted_on_close opens; without it that fails.
  FakeFileSystem* files = nullptr;
  bool passing_fails = false;
  // What each open passed handle stands for: "process <pid>" or "delete on
  // close <path>". A handle leaves when it is closed.
  std::map<uint64_t, std::string> open_handles;
  // Files whose delete-on-close handle a started program inherited: the
  // system deletes them when that program ends, not before.
  std::vector<std::string> deleted_at_child_exit;
  // Inherited handles on other processes (the values that
  // wait_for_passed_process accepts), and every value waited for, in order.
  std::set<uint64_t> inherited_processes;
  std::vector<uint64_t> waited;
  // Runs at each successful wait (the processes waited for have ended by then).
  std::function<void(uint64_t)> on_waited;

  void add(uint32_t process_id, std::string exe_name, std::optional<std::string> image_path, uint32_t parent_pid = 0) {
    FakeProcess process{process_id, std::move(exe_name), std::move(image_path)};
    process.parent_pid = parent_pid;
    process.identity = ++identities_;
    process.creation_time = 1000 * process.identity;
    processes.push_back(std::move(process));
  }

  // The process ends on its own.
  void exit(uint32_t process_id) {
    std::erase_if(processes, [&](const FakeProcess& p) { return p.pid == process_id; });
  }

  FakeProcess* find(uint32_t process_id) {
    for (FakeProcess& p : processes) {
      if (p.pid == process_id) return &p;
    }
    return nullptr;
  }

  bool running(uint32_t process_id) { return find(process_id) != nullptr; }

  std::optional<std::vector<ProcessEntry>> list_processes() override {
    if (snapshot_fails) return std::nullopt;
    std::vector<ProcessEntry> list;
    for (const FakeProcess& p : processes) list.push_back(ProcessEntry{p.pid, p.exe_name, p.parent_pid});
    return list;
  }

  std::unique_ptr<ProcessHandle> open_process(uint32_t process_id) override {
    FakeProcess* p = find(process_id);
    if (!p || !p->can_query) return nullptr;
    return std::make_unique<Handle>(*this, process_id, p->identity);
  }

  ProcessOutcome start(const ProcessStart& request) override {
    started.push_back(request);
    ProcessOutcome outcome;
    if (start_fails || failing_programs.count(request.program)) return outcome;
    // PROC_THREAD_ATTRIBUTE_HANDLE_LIST may only name open, inheritable
    // handles; CreateProcessW fails otherwise (UpdateProcThreadAttribute's
    // documentation).
    for (uint64_t value : request.passed_handles) {
      if (!open_handles.count(value)) return outcome;
    }
    for (uint64_t value : request.passed_handles) {
      const std::string& what = open_handles[value];
      if (what.starts_with(kDeleteOnClose)) deleted_at_child_exit.push_back(what.substr(kDeleteOnClose.size()));
    }
    outcome.started = true;
    if (on_start) on_start(request);
    if (request.wait && exit_code_readable) {
      auto it = exit_codes.find(request.program);
      outcome.exit_code = it != exit_codes.end() ? it->second : default_exit_code;
    }
    return outcome;
  }

  std::optional<std::string> own_program_path(OsError* error) override {
    if (!own_path && error) *error = own_path_error;
    return own_path;
  }

  uint32_t current_process_id() override { return pid; }

  std::unique_ptr<PassedHandle> pass_own_process() override {
    if (passing_fails) return nullptr;
    return std::make_unique<Passed>(*this, "process " + std::to_string(pid));
  }

  std::unique_ptr<PassedHandle> pass_file_deleted_on_close(const std::string& path) override {
    // Opened with FILE_FLAG_OPEN_REPARSE_POINT: a link is opened itself and refused, a folder
    // cannot be opened without FILE_FLAG_BACKUP_SEMANTICS (CreateFileW's documentation).
    if (passing_fails || !files || !files->exists(path) || files->is_link(path) || files->is_folder(path)) {
      return nullptr;
    }
    return std::make_unique<Passed>(*this, std::string(kDeleteOnClose) + path);
  }

  bool wait_for_passed_process(uint64_t value) override {
    waited.push_back(value);
    if (!inherited_processes.count(value)) return false;
    if (on_waited) on_waited(value);
    return true;
  }

 private:
  // Acts on the process it was opened for, found by identity, not by ID.
  class Handle : public ProcessHandle {
   public:
    Handle(FakeProcessApi& api, uint32_t pid, uint64_t identity) : api_(api), pid_(pid), identity_(identity) {}

    std::optional<std::string> image_path() override {
      api_.queried.push_back(pid_);
      FakeProcess* p = opened();
      if (!p) return std::nullopt;
      return p->image_path;
    }

    std::optional<uint64_t> creation_time() override {
      FakeProcess* p = opened();
      if (!p) return std::nullopt;
      return p->creation_time;
    }

    // A second opening by the bare ID, which may by now name another process.
    EndRights acquire_end_rights() override {
      if (api_.before_reopen) api_.before_reopen(pid_);
      FakeProcess* now = api_.find(pid_);
      if (!now) return EndRights::Gone;
      if (now->elevated) return EndRights::Denied;
      FakeProcess* checked = opened();
      if (!checked || checked->creation_time != now->creation_time) return EndRights::Gone;
      end_identity_ = now->identity;
      return EndRights::Granted;
    }

    void terminate_and_wait(uint32_t exit_code, uint32_t timeout_ms) override {
      api_.end_attempts.push_back(EndAttempt{pid_, exit_code, timeout_ms});
      // Through the second handle: whatever process it was opened on.
      auto ended = [&](const FakeProcess& q) { return end_identity_ != 0 && q.identity == end_identity_; };
      if (std::any_of(api_.processes.begin(), api_.processes.end(), ended)) {
        api_.terminated.push_back(pid_);
        if (api_.shared_log) api_.shared_log->add("processes", "terminate " + std::to_string(pid_));
        std::erase_if(api_.processes, ended);
      }
      if (api_.during_wait) api_.during_wait();
    }

   private:
    FakeProcess* opened() {
      for (FakeProcess& p : api_.processes) {
        if (p.identity == identity_) return &p;
      }
      return nullptr;
    }

    FakeProcessApi& api_;
    uint32_t pid_;
    uint64_t identity_;
    uint64_t end_identity_ = 0;  // the process the end rights were granted on
  };

  static constexpr std::string_view kDeleteOnClose = "delete on close ";

  // Closing the last handle on a delete-on-close opening deletes the file
  // (FILE_FLAG_DELETE_ON_CLOSE); one that a started program inherited lives
  // on in that program.
  class Passed : public PassedHandle {
   public:
    Passed(FakeProcessApi& api, std::string what) : api_(api), value_(api.next_value_ += 4) {
      api_.open_handles[value_] = std::move(what);
    }
    ~Passed() override {
      std::string what = api_.open_handles[value_];
      api_.open_handles.erase(value_);
      if (!what.starts_with(kDeleteOnClose)) return;
      std::string path = what.substr(kDeleteOnClose.size());
      if (std::find(api_.deleted_at_child_exit.begin(), api_.deleted_at_child_exit.end(), path) ==
          api_.deleted_at_child_exit.end()) {
        api_.files->delete_file(path);
      }
    }
    uint64_t value() const override { return value_; }

   private:
    FakeProcessApi& api_;
    uint64_t value_;
  };

  uint64_t identities_ = 0;
  uint64_t next_value_ = 0x100;

 public:
  std::optional<std::string> system_folder() override { return system_dir; }
};

}  // namespace vestrana
