#include "system/log_file_win32.h"

#include "system/windows_headers.h"

#include "system/file_system.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

class AppendedFile final : public LogOutput {
 public:
  explicit AppendedFile(HANDLE handle) : handle_(handle) {}

  bool append(std::string_view text) override {
    // With only FILE_APPEND_DATA every write goes to the end of the file as
    // it is at that moment, so the lines of two processes never overwrite
    // each other (WriteFile's documentation). A batch of lines is small: one
    // call, unless the system takes less.
    while (!text.empty()) {
      DWORD written = 0;
      auto size = static_cast<DWORD>(text.size());
      if (!WriteFile(handle_.get(), text.data(), size, &written, nullptr) || written == 0) return false;
      text.remove_prefix(written);
    }
    return true;
  }

 private:
  UniqueHandle handle_;
};

class LocalWallClock final : public WallClock {
 public:
  LocalTime local_now() override {
    FILETIME utc_file;
    GetSystemTimeAsFileTime(&utc_file);
    SYSTEMTIME utc;
    SYSTEMTIME local;
    FILETIME local_file;
    LocalTime time;
    // The offset is that of this instant in the user's time zone, daylight
    // saving included, not the zone's standard one.
    if (!FileTimeToSystemTime(&utc_file, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) ||
        !SystemTimeToFileTime(&local, &local_file)) {
      local = utc;
      local_file = utc_file;
    }
    auto ticks = [](const FILETIME& f) {
      return static_cast<int64_t>((static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    constexpr int64_t kTicksPerMinute = 600'000'000;  // 100 ns ticks
    // The two differ by whole minutes; rounding keeps it so.
    int64_t difference = ticks(local_file) - ticks(utc_file);
    time.utc_offset_minutes =
        static_cast<int>((difference + (difference >= 0 ? 1 : -1) * kTicksPerMinute / 2) / kTicksPerMinute);
    time.year = local.wYear;
    time.month = local.wMonth;
    time.day = local.wDay;
    time.hour = local.wHour;
    time.minute = local.wMinute;
    time.second = local.wSecond;
    time.millisecond = local.wMilliseconds;
    return time;
  }
};

}  // namespace

std::unique_ptr<LogOutput> open_log_file(FileSystem& files, const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
  if (std::optional<std::string> folder = parent_folder(path)) (void)create_folder_all(files, *folder);
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileW(to_wide(long_path_form(path)).c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<AppendedFile>(handle);
}

WallClock& windows_wall_clock() {
  static LocalWallClock clock;
  return clock;
}

}  // namespace vestrana
