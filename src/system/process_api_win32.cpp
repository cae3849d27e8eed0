// The process list, ending processes, starting programs and the program's own
// identity, through kernel32.

#include "system/windows_headers.h"
#include <tlhelp32.h>

#include <string_view>
#include <vector>

#include "system/process_api.h"
#include "system/system_messages.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/platform_parts_win32.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568, "the process entry record the snapshot expects");

// A process running with more rights (elevated) grants a caller without
// them query rights but not terminate rights, so the two are asked for apart;
// the second opening keeps query rights to prove it is the same process.
constexpr DWORD kEndAccess = PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE;
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

HANDLE handle_of(uint64_t value) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value)); }

// An attribute list that names the only handles a new process inherits
// (PROC_THREAD_ATTRIBUTE_HANDLE_LIST); `handles` must outlive it.
class HandleList {
 public:
  explicit HandleList(std::vector<HANDLE>& handles) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    buffer_.resize(size);
    if (!InitializeProcThreadAttributeList(get(), 1, 0, &size)) return;
    initialized_ = true;
    ready_ = UpdateProcThreadAttribute(get(), 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                       handles.size() * sizeof(HANDLE), nullptr, nullptr);
  }
  HandleList(const HandleList&) = delete;
  HandleList& operator=(const HandleList&) = delete;
  ~HandleList() {
    if (initialized_) DeleteProcThreadAttributeList(get());
  }
  bool ready() const { return ready_; }
  LPPROC_THREAD_ATTRIBUTE_LIST get() { return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer_.data()); }

 private:
  std::vector<unsigned char> buffer_;
  bool initialized_ = false;
  bool ready_ = false;
};

class WindowsPassedHandle final : public PassedHandle {
 public:
  explicit WindowsPassedHandle(HANDLE handle) : handle_(handle) {}
  uint64_t value() const override { return reinterpret_cast<uintptr_t>(handle_.get()); }

 private:
  UniqueHandle handle_;
};

std::optional<uint64_t> creation_of(HANDLE process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return std::nullopt;
  return (uint64_t(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

class WindowsProcess final : public ProcessHandle {
 public:
  WindowsProcess(HANDLE process, DWORD pid) : process_(process), pid_(pid) {}

  std::optional<std::string> image_path() override {
    wchar_t buffer[kImagePathUnits];
    DWORD size = kImagePathUnits;
    if (!QueryFullProcessImageNameW(process_.get(), 0, buffer, &size)) return std::nullopt;
    return to_utf8(std::wstring_view(buffer, size));
  }

  std::optional<uint64_t> creation_time() override { return creation_of(process_.get()); }

  EndRights acquire_end_rights() override {
    UniqueHandle end(OpenProcess(kEndAccess, FALSE, pid_));
    if (!end.valid()) return GetLastError() == ERROR_ACCESS_DENIED ? EndRights::Denied : EndRights::Gone;
    // Opened by a bare ID: only the same creation time makes it the process
    // that was checked.
    std::optional<uint64_t> checked = creation_of(process_.get());
    if (!checked || checked != creation_of(end.get())) return EndRights::Gone;
    end_.reset(end.release());
    return EndRights::Granted;
  }

  void terminate_and_wait(uint32_t exit_code, uint32_t timeout_ms) override {
    if (!end_.valid()) return;
    TerminateProcess(end_.get(), exit_code);
    WaitForSingleObject(end_.get(), timeout_ms);
  }

 private:
  UniqueHandle process_;
  UniqueHandle end_;
  DWORD pid_;
};

class WindowsProcesses final : public ProcessApi {
 public:
  std::optional<std::vector<ProcessEntry>> list_processes() override {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return std::nullopt;
    std::vector<ProcessEntry> entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
      entries.push_back(ProcessEntry{entry.th32ProcessID, entry_name(entry), entry.th32ParentProcessID});
    }
    return entries;
  }

  std::unique_ptr<ProcessHandle> open_process(uint32_t pid) override {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return nullptr;
    return std::make_unique<WindowsProcess>(process, pid);
  }

  ProcessOutcome start(const ProcessStart& request) override {
    std::wstring program = to_wide(request.program);
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring command_line = to_wide(request.command_line);
    std::wstring working_folder = to_wide(request.working_folder);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof(STARTUPINFOW);
    DWORD flags = request.creation_flags;
    std::vector<HANDLE> passed;
    for (uint64_t value : request.passed_handles) passed.push_back(handle_of(value));
    std::optional<HandleList> list;
    if (!passed.empty()) {
      list.emplace(passed);
      // Without the list every inheritable handle of this process would go
      // along; rather no start than that.
      if (!list->ready()) return ProcessOutcome{};
      startup.StartupInfo.cb = sizeof(STARTUPINFOEXW);
      startup.lpAttributeList = list->get();
      flags |= EXTENDED_STARTUPINFO_PRESENT;
      // Not this process's standard handles as bare values, which would
      // name nothing in the new process, or one of the passed handles.
      startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    }
    PROCESS_INFORMATION info{};
    BOOL created =
        CreateProcessW(request.program.empty() ? nullptr : program.c_str(), command_line.data(), nullptr, nullptr,
                       passed.empty() ? FALSE : TRUE, flags, nullptr,
                       working_folder.empty() ? nullptr : working_folder.c_str(), &startup.StartupInfo, &info);
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

  std::unique_ptr<PassedHandle> pass_own_process() override {
    HANDLE self = GetCurrentProcess();
    HANDLE handle = nullptr;
    // Query rights too, so that the waiting side can tell a process handle
    // from any other number (GetProcessId).
    if (!DuplicateHandle(self, self, self, &handle, SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0)) {
      return nullptr;
    }
    return std::make_unique<WindowsPassedHandle>(handle);
  }

  std::unique_ptr<PassedHandle> pass_file_deleted_on_close(const std::string& path) override {
    if (path.find('\0') != std::string::npos) return nullptr;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    // The loader opens a program for reading and execution and shares
    // reading and deletion, and a handle with delete-on-close requires every
    // other opening to share deletion (CreateFileW's sharing rules): this one
    // shares reading, asks for no write access, and so the file can still be
    // started. Without following a link: only a file can be marked.
    UniqueHandle file(CreateFileW(to_wide(long_path_form(path)).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit, OPEN_EXISTING,
                                  FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return nullptr;
    // A folder is not opened without backup semantics; a link opened as
    // itself is not what was written (and goes itself with the handle).
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      return nullptr;
    }
    return std::make_unique<WindowsPassedHandle>(file.release());
  }

  bool wait_for_passed_process(uint64_t value) override {
    HANDLE handle = handle_of(value);
    // GetProcessId gives 0 for anything but a process handle with query
    // rights; this process's own would never be signalled.
    DWORD pid = handle == nullptr ? 0 : GetProcessId(handle);
    if (pid == 0 || pid == GetCurrentProcessId()) return false;
    return WaitForSingleObject(handle, INFINITE) == WAIT_OBJECT_0;
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
