// The process list, ending processes, starting programs and the program's own
// identity, through kernel32.

#include "system/windows_headers.h"
#include <tlhelp32.h>

#include <string_view>

#include "system/process_api.h"
#include "system/system_messages.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568, "the process entry record the snapshot expects");

// Querying and ending through one handle (0x101001): the process checked is
// the process ended.
constexpr DWORD kAccess = PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE;
constexpr DWORD kImagePathUnits = 1024;
// Longest path the system hands out (32767 units and the terminator), with room.
constexpr DWORD kLongestPathUnits = 65536;

OsError os_error(DWORD code) { return windows_os_error(code); }

// The name field up to its first NUL (the field is not NUL-terminated when
// the name fills it).
std::string entry_name(const PROCESSENTRY32W& entry) {
  std::wstring_view name(entry.szExeFile, sizeof(entry.szExeFile) / sizeof(entry.szExeFile[0]));
  size_t nul = name.find(L'\0');
  if (nul != std::wstring_view::npos) name = name.substr(0, nul);
  return to_utf8(name);
}

class WindowsProcess final : public ProcessHandle {
 public:
  explicit WindowsProcess(HANDLE process) : process_(process) {}

  std::optional<std::string> image_path() override {
    wchar_t buffer[kImagePathUnits];
    DWORD size = kImagePathUnits;
    if (!QueryFullProcessImageNameW(process_.get(), 0, buffer, &size)) return std::nullopt;
    return to_utf8(std::wstring_view(buffer, size));
  }

  void terminate_and_wait(uint32_t exit_code, uint32_t timeout_ms) override {
    TerminateProcess(process_.get(), exit_code);
    WaitForSingleObject(process_.get(), timeout_ms);
  }

 private:
  UniqueHandle process_;
};

class WindowsProcesses final : public ProcessApi {
 public:
  std::optional<std::vector<ProcessEntry>> list_processes() override {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return std::nullopt;
    std::vector<ProcessEntry> entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
      entries.push_back(ProcessEntry{entry.th32ProcessID, entry_name(entry)});
    }
    return entries;
  }

  std::unique_ptr<ProcessHandle> open_process(uint32_t pid) override {
    HANDLE process = OpenProcess(kAccess, FALSE, pid);
    if (process == nullptr) return nullptr;
    return std::make_unique<WindowsProcess>(process);
  }

  ProcessOutcome start(const ProcessStart& request) override {
    std::wstring program = to_wide(request.program);
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring command_line = to_wide(request.command_line);
    std::wstring working_folder = to_wide(request.working_folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    BOOL created = CreateProcessW(request.program.empty() ? nullptr : program.c_str(),
                                  command_line.data(), nullptr, nullptr, TRUE,
                                  request.creation_flags, nullptr,
                                  working_folder.empty() ? nullptr : working_folder.c_str(), &startup, &info);
    ProcessOutcome outcome;
    if (!created) return outcome;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    outcome.started = true;
    if (request.wait) {
      WaitForSingleObject(process.get(), INFINITE);
      DWORD code = 0;
      if (GetExitCodeProcess(process.get(), &code)) outcome.exit_code = code;
    }
    return outcome;
  }

  std::optional<std::string> own_program_path(OsError* error) override {
    // The path may be longer than MAX_PATH; a full buffer means it was cut.
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (length == 0) {
        if (error) *error = os_error(GetLastError());
        return std::nullopt;
      }
      if (length < buffer.size()) return to_utf8(std::wstring_view(buffer.data(), length));
      if (buffer.size() >= kLongestPathUnits) {
        if (error) *error = os_error(ERROR_INSUFFICIENT_BUFFER);
        return std::nullopt;
      }
      buffer.resize(buffer.size() * 2);
    }
  }

  uint32_t current_process_id() override { return GetCurrentProcessId(); }

  std::optional<std::string> system_folder() override {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      UINT length = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
      if (length == 0) return std::nullopt;
      // On success the length excludes the terminator; when the buffer is too
      // small it is the size needed, terminator included.
      if (length < buffer.size()) return to_utf8(std::wstring_view(buffer.data(), length));
      if (length > kLongestPathUnits) return std::nullopt;
      buffer.resize(length);
    }
  }
};

}  // namespace

ProcessApi& windows_processes() {
  static WindowsProcesses processes;
  return processes;
}

}  // namespace vestrana
