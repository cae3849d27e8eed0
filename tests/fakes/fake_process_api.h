#pragma once
// An in-memory process table and program starter standing in for the Win32
// process calls.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/call_log.h"
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
  // False: the process cannot be opened for ending.
  bool can_end = true;
  // Which process this is, unlike its ID, which the system hands out again
  // once the process has ended. Set by FakeProcessApi::add.
  uint64_t identity = 0;
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

  void add(uint32_t process_id, std::string exe_name, std::optional<std::string> image_path) {
    FakeProcess process{process_id, std::move(exe_name), std::move(image_path)};
    process.identity = ++identities_;
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
    for (const FakeProcess& p : processes) list.push_back(ProcessEntry{p.pid, p.exe_name});
    return list;
  }

  std::unique_ptr<ProcessHandle> open_process(uint32_t process_id) override {
    FakeProcess* p = find(process_id);
    if (!p || !p->can_query || !p->can_end) return nullptr;
    return std::make_unique<Handle>(*this, process_id, p->identity);
  }

  ProcessOutcome start(const ProcessStart& request) override {
    started.push_back(request);
    ProcessOutcome outcome;
    if (start_fails || failing_programs.count(request.program)) return outcome;
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

    void terminate_and_wait(uint32_t exit_code, uint32_t timeout_ms) override {
      api_.end_attempts.push_back(EndAttempt{pid_, exit_code, timeout_ms});
      if (opened()) {
        api_.terminated.push_back(pid_);
        if (api_.shared_log) api_.shared_log->add("processes", "terminate " + std::to_string(pid_));
        std::erase_if(api_.processes, [&](const FakeProcess& q) { return q.identity == identity_; });
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
  };

  uint64_t identities_ = 0;

 public:

  std::optional<std::string> system_folder() override { return system_dir; }
};

}  // namespace vestrana
