#pragma once
// An in-memory process table and program starter standing in for the Win32
// process calls.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "system/process_api.h"

namespace vestrana {

struct FakeProcess {
  uint32_t pid = 0;
  std::string exe_name;
  // Nothing: the full path cannot be queried.
  std::optional<std::string> image_path;
  // False: OpenProcess for querying fails (another user's or a protected process).
  bool can_query = true;
  // False: OpenProcess for ending fails, so the process keeps running.
  bool can_end = true;
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
  // Every pid whose image path was asked for, in order.
  std::vector<uint32_t> queried;

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
    processes.push_back(FakeProcess{process_id, std::move(exe_name), std::move(image_path)});
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

  std::optional<std::string> image_path(uint32_t process_id) override {
    queried.push_back(process_id);
    FakeProcess* p = find(process_id);
    if (!p || !p->can_query) return std::nullopt;
    return p->image_path;
  }

  void terminate_and_wait(uint32_t process_id, uint32_t exit_code, uint32_t timeout_ms) override {
    end_attempts.push_back(EndAttempt{process_id, exit_code, timeout_ms});
    FakeProcess* p = find(process_id);
    if (!p || !p->can_end) return;
    terminated.push_back(process_id);
    std::erase_if(processes, [&](const FakeProcess& q) { return q.pid == process_id; });
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

  std::optional<std::string> system_folder() override { return system_dir; }
};

}  // namespace vestrana
