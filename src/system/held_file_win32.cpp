#include "system/held_file_win32.h"

#include "system/windows_headers.h"

#include <vector>

#include "system/signature_win32.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"

namespace vestrana {
namespace {

class WindowsHeldFile final : public HeldFile {
 public:
  // Takes over `file`, which may be invalid.
  WindowsHeldFile(HANDLE file, std::wstring path) : file_(file), path_(std::move(path)) {}

  // A link planted in place of the download is opened itself, and refused.
  bool is_plain_file() const {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file_.valid() || !GetFileInformationByHandle(file_.get(), &information)) return false;
    return (information.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
  }

  SignatureCheck check_signature() override { return check_authenticode(file_.get(), path_); }

  // Started by path while the handle is held: the path can then name no
  // other file, since nobody can rename, replace or delete this one (nor
  // rename a folder above it) while it is open without delete sharing.
  ProcessOutcome start_and_wait(const std::string& command_line, const std::string& working_folder) override {
    ProcessOutcome outcome;
    std::wstring wide_line = to_wide(command_line);
    std::vector<wchar_t> line(wide_line.begin(), wide_line.end());
    line.push_back(L'\0');
    std::wstring folder = to_wide(working_folder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // No handle of ours is inherited, the held file's least of all.
    if (!CreateProcessW(path_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
      return outcome;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    outcome.started = true;
    // Without a time limit, but only for as long as the bootstrapper itself
    // lives: it downloads and installs the whole runtime, which takes as
    // long as the connection needs, and it reports through its exit code.
    // Whatever it starts in turn (the vendor's updater) is not waited for.
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) return outcome;
    DWORD code = 0;
    if (GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) outcome.exit_code = code;
    return outcome;
  }

 private:
  UniqueHandle file_;
  std::wstring path_;
};

}  // namespace

std::unique_ptr<HeldFile> hold_file(const std::string& path) {
  std::wstring wide = to_wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  auto held = std::make_unique<WindowsHeldFile>(file, std::move(wide));
  if (!held->is_plain_file()) return nullptr;
  return held;
}

}  // namespace vestrana
