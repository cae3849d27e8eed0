// Files and folders through the Win32 calls. Paths arrive as UTF-8 and are
// converted at each call; names read back are converted with U+FFFD for
// anything that is not valid UTF-16.

#include "system/windows_headers.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "system/file_system.h"
#include "system/open_entry_win32.h"
#include "system/system_messages.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/platform_parts_win32.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// The rename-by-handle structure with its Windows 10 flags field, and the
// information class, spelled out here: MinGW declares them only for newer
// _WIN32_WINNT targets.
struct RenameInfoEx {
  DWORD flags;
  HANDLE root_directory;
  DWORD file_name_length;  // in bytes, without the terminator
  WCHAR file_name[1];
};
static_assert(offsetof(RenameInfoEx, root_directory) == offsetof(FILE_RENAME_INFO, RootDirectory));
static_assert(offsetof(RenameInfoEx, file_name) == offsetof(FILE_RENAME_INFO, FileName));
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// One WriteFile/ReadFile call moves at most this much (the count is a DWORD).
constexpr DWORD kMaxChunk = 1u << 30;

OsError os_error(DWORD code) { return windows_os_error(code); }

OsError last_error() { return os_error(GetLastError()); }

// The UTF-16 form of a path, verbatim when it is absolute so that paths
// beyond 260 characters work (long_path_form). A NUL inside the text would
// silently cut the path short at the call and name another file, so such a
// path is refused.
std::optional<std::wstring> wide_path(const std::string& path) {
  if (path.find('\0') != std::string::npos) return std::nullopt;
  return to_wide(long_path_form(path));
}

// Clears the read-only attribute of an entry whose attributes are known.
// SetFileAttributesW may act on what a link points at, so a link's
// attribute is left alone.
bool clear_read_only_attribute(const std::wstring& path, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  constexpr DWORD kSettable = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED |
                              FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_TEMPORARY;
  DWORD kept = attributes & kSettable;
  return SetFileAttributesW(path.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL) != 0;
}

// Makes room for a file to be created afresh: removes a file (clearing a
// read-only attribute) or a link of that name, never what a link points at.
// Nothing when the name is free afterwards, else the reason.
std::optional<DWORD> free_name(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  clear_read_only_attribute(path, attributes);
  bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A folder link is removed as a folder; a real folder is no file to
  // replace, and the exclusive create reports that.
  if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return std::nullopt;
  BOOL removed = folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str());
  if (!removed) return GetLastError();
  return std::nullopt;
}

bool attributes_of(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  std::optional<std::wstring> wide = wide_path(path);
  return wide && GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data) != 0;
}

// One call on a path that reports success, with the reason of a failure.
template <class Call>
bool call_on_path(const std::string& path, OsError* error, Call&& call) {
  std::optional<std::wstring> wide = wide_path(path);
  if (!wide) {
    if (error) *error = os_error(kErrorInvalidName);
    return false;
  }
  if (call(wide->c_str())) return true;
  if (error) *error = last_error();
  return false;
}

class WindowsFileSystem final : public FileSystem {
 public:
  std::unique_ptr<OpenEntry> open_entry(const std::string& path, OsError* error) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) {
      if (error) *error = os_error(kErrorInvalidName);
      return nullptr;
    }
    return open_entry_at(*wide, error);
  }

  std::optional<OsError> write_new_file(const std::string& path, std::span<const uint8_t> bytes) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return os_error(kErrorInvalidName);
    if (std::optional<DWORD> refused = free_name(*wide)) return os_error(*refused);
    // CREATE_NEW with FILE_FLAG_OPEN_REPARSE_POINT: a link planted under the
    // name after it was freed makes the create fail instead of being
    // written through.
    UniqueHandle file(CreateFileW(wide->c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.valid()) return last_error();
    while (!bytes.empty()) {
      DWORD chunk = bytes.size() < kMaxChunk ? static_cast<DWORD>(bytes.size()) : kMaxChunk;
      DWORD written = 0;
      if (!WriteFile(file.get(), bytes.data(), chunk, &written, nullptr)) return last_error();
      if (written == 0) return OsError{"failed to write whole buffer", std::nullopt};
      bytes = bytes.subspan(written);
    }
    // On the disk before the rename puts it in place: a power loss just after
    // the rename must not leave an empty or partial file under the target name.
    if (!FlushFileBuffers(file.get())) return last_error();
    return std::nullopt;
  }

  std::optional<OsError> rename_replacing(const std::string& from, const std::string& to) override {
    std::optional<std::wstring> wide_from = wide_path(from), wide_to = wide_path(to);
    if (!wide_from || !wide_to) return os_error(kErrorInvalidName);
    if (!MoveFileExW(wide_from->c_str(), wide_to->c_str(), MOVEFILE_REPLACE_EXISTING)) return last_error();
    return std::nullopt;
  }

  std::optional<OsError> rename_by_handle(const std::string& from, const std::string& to) override {
    std::optional<std::wstring> wide_from = wide_path(from), wide_to = wide_path(to);
    if (!wide_from || !wide_to) return os_error(kErrorInvalidName);
    UniqueHandle file(CreateFileW(wide_from->c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return last_error();

    size_t name_bytes = wide_to->size() * sizeof(wchar_t);
    size_t size = offsetof(RenameInfoEx, file_name) + name_bytes + sizeof(wchar_t);
    if (name_bytes > MAXDWORD || size > MAXDWORD) return os_error(kErrorInvalidName);
    // Storage aligned for the HANDLE inside the structure.
    auto storage = std::make_unique<uint64_t[]>((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
    auto* info = reinterpret_cast<RenameInfoEx*>(storage.get());
    info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info->root_directory = nullptr;
    info->file_name_length = static_cast<DWORD>(name_bytes);
    std::memcpy(info->file_name, wide_to->c_str(), name_bytes + sizeof(wchar_t));
    if (!SetFileInformationByHandle(file.get(), kFileRenameInfoEx, info, static_cast<DWORD>(size))) {
      return last_error();
    }
    return std::nullopt;
  }

  std::optional<OsError> create_folder(const std::string& path) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return os_error(kErrorInvalidName);
    if (!CreateDirectoryW(wide->c_str(), nullptr)) return last_error();
    return std::nullopt;
  }

  bool is_folder(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes_of(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  bool exists(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes_of(path, data);
  }

  bool is_link(const std::string& path) override {
    // The attributes of the entry itself: the call does not follow a final link.
    WIN32_FILE_ATTRIBUTE_DATA data;
    return attributes_of(path, data) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }

  std::optional<OsError> read_file(const std::string& path, std::vector<uint8_t>& out) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return os_error(kErrorInvalidName);
    UniqueHandle file(
        CreateFileW(wide->c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return last_error();
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return last_error();
    out.clear();
    out.resize(static_cast<size_t>(size.QuadPart));
    // Read until the end of the file, which need not be where the size said.
    size_t filled = 0;
    for (;;) {
      if (filled == out.size()) out.resize(out.size() + 64 * 1024);
      size_t room = out.size() - filled;
      DWORD chunk = room < kMaxChunk ? static_cast<DWORD>(room) : kMaxChunk;
      DWORD read = 0;
      if (!ReadFile(file.get(), out.data() + filled, chunk, &read, nullptr)) {
        out.clear();
        return last_error();
      }
      if (read == 0) break;
      filled += read;
    }
    out.resize(filled);
    return std::nullopt;
  }

  std::optional<OsError> file_size(const std::string& path, uint64_t& out) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return os_error(kErrorInvalidName);
    if (!GetFileAttributesExW(wide->c_str(), GetFileExInfoStandard, &data)) return last_error();
    out = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return std::nullopt;
  }

  std::optional<std::string> final_path(const std::string& path) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return std::nullopt;
    // No access rights are needed to ask for the name; backup semantics let
    // the call open folders too.
    UniqueHandle file(
        CreateFileW(wide->c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.valid()) return std::nullopt;
    return final_path_of(file.get());
  }

  bool delete_file(const std::string& path, OsError* error) override {
    return call_on_path(path, error, [](const wchar_t* p) { return DeleteFileW(p); });
  }

  bool remove_folder(const std::string& path, OsError* error) override {
    return call_on_path(path, error, [](const wchar_t* p) { return RemoveDirectoryW(p); });
  }

  bool clear_read_only(const std::string& path) override {
    std::optional<std::wstring> wide = wide_path(path);
    if (!wide) return false;
    DWORD attributes = GetFileAttributesW(wide->c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && clear_read_only_attribute(*wide, attributes);
  }

  std::optional<std::string> temp_folder() override {
    // GetTempPath2W (newer systems) gives SYSTEM processes their own folder;
    // for a user it is the same as GetTempPathW, which older systems have alone.
    using GetTempPathFn = DWORD(WINAPI*)(DWORD, LPWSTR);
    static const GetTempPathFn get_temp_path = [] {
      HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
      FARPROC proc = kernel ? GetProcAddress(kernel, "GetTempPath2W") : nullptr;
      if (!proc) return static_cast<GetTempPathFn>(&GetTempPathW);
      return reinterpret_cast<GetTempPathFn>(reinterpret_cast<void (*)()>(proc));
    }();
    std::wstring buffer(MAX_PATH + 1, L'\0');
    for (;;) {
      DWORD length = get_temp_path(static_cast<DWORD>(buffer.size()), buffer.data());
      if (length == 0) return std::nullopt;
      if (length < buffer.size()) {
        buffer.resize(length);
        break;
      }
      buffer.resize(length);
    }
    std::string folder = to_utf8(buffer);
    if (!folder.ends_with('\\') && !folder.ends_with('/')) folder += '\\';
    return folder;
  }
};

}  // namespace

FileSystem& windows_file_system() {
  static WindowsFileSystem files;
  return files;
}

}  // namespace vestrana
