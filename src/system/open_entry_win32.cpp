// Entries opened by handle: folders are listed through their handle
// (GetFileInformationByHandleEx with FileIdBothDirectoryInfo), entries inside
// are opened relative to it (NtCreateFile with the folder as root directory
// and FILE_OPEN_REPARSE_POINT) and deleted through their own handle.
//
// Deleting asks first for FileDispositionInfoEx with POSIX semantics (the
// name goes at once, even while another process still has the file open
// with delete sharing) and ignore-read-only (Windows 10 1809 and later).
// Where that class or a flag is refused (older systems, FAT volumes, and
// Wine 8, which answers ERROR_INVALID_PARAMETER), the read-only attribute is
// cleared through the handle and FileDispositionInfo marks the entry for
// deletion when its last handle closes.

#include "system/open_entry_win32.h"

#include <winternl.h>

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "system/text_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);

// ntdll is loaded into every process from the system folder before the
// program itself; its native calls are looked up there rather than
// imported, so that the import table keeps to the usual libraries.
struct NativeCalls {
  NtCreateFileFn create_file = nullptr;
  StatusToErrorFn to_error = nullptr;
};

template <class Fn>
Fn native(HMODULE ntdll, const char* name) {
  FARPROC proc = ntdll ? GetProcAddress(ntdll, name) : nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

const NativeCalls& native_calls() {
  static const NativeCalls calls = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return NativeCalls{native<NtCreateFileFn>(ntdll, "NtCreateFile"),
                       native<StatusToErrorFn>(ntdll, "RtlNtStatusToDosError")};
  }();
  return calls;
}

constexpr NTSTATUS kStatusSuccess = 0;
constexpr DWORD kErrorInvalidName = 123;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kNoLinkFollowing = FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT | FILE_SYNCHRONOUS_IO_NONALERT;

// MinGW declares these only for newer _WIN32_WINNT targets.
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;
constexpr DWORD kDispositionPosixSemantics = 0x2;
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;

// The access an entry is opened with, in the order tried. A folder that is
// someone's current folder is shared without delete access: it is then
// still opened for listing, so that its content goes and it stays.
constexpr ACCESS_MASK kListAndDelete = FILE_LIST_DIRECTORY | DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kDeleteOnly = DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kListOnly = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr ACCESS_MASK kAccessTried[] = {kListAndDelete, kDeleteOnly, kListOnly};

OsError os_error(DWORD code) { return windows_os_error(code); }

// An open handle that can be handed on; empty or a valid handle, never
// INVALID_HANDLE_VALUE.
struct CloseHandleDeleter {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<void, CloseHandleDeleter>;

bool refused_for_sharing_or_access(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED;
}

// Opens `name` relative to the folder `root` (an empty name opens `root`
// itself once more), never following a reparse point. The Win32 error code
// of a failure.
DWORD open_relative(HANDLE root, std::wstring_view name, ACCESS_MASK access, OwnedHandle& out) {
  const NativeCalls& nt = native_calls();
  if (!nt.create_file || !nt.to_error) return ERROR_PROC_NOT_FOUND;
  UNICODE_STRING object_name;
  object_name.Buffer = const_cast<PWSTR>(name.data());
  object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  object_name.MaximumLength = object_name.Length;
  OBJECT_ATTRIBUTES attributes;
  InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, root, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  NTSTATUS status =
      nt.create_file(&handle, access, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN, kNoLinkFollowing, nullptr, 0);
  if (status != kStatusSuccess) return nt.to_error(status);
  out.reset(handle);
  return ERROR_SUCCESS;
}

std::optional<EntryKind> kind_of(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
  return EntryKind::File;
}

// Clears the read-only attribute of the entry `handle` stands for, through
// a second handle on the same entry that may write attributes.
void clear_read_only(HANDLE handle) {
  OwnedHandle writable;
  if (open_relative(handle, L"", FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, writable) !=
      ERROR_SUCCESS) {
    return;
  }
  FILE_BASIC_INFO basic;
  if (!GetFileInformationByHandleEx(writable.get(), FileBasicInfo, &basic, sizeof basic)) return;
  if (!(basic.FileAttributes & FILE_ATTRIBUTE_READONLY)) return;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;  // 0 would mean "unchanged"
  // Zero times mean "unchanged" too.
  basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
  basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
  SetFileInformationByHandle(writable.get(), FileBasicInfo, &basic, sizeof basic);
}

// Marks the entry for deletion; the Win32 error code of a failure.
DWORD delete_by_handle(HANDLE handle) {
  DWORD flags = kDispositionDelete | kDispositionPosixSemantics | kDispositionIgnoreReadOnly;
  if (SetFileInformationByHandle(handle, kFileDispositionInfoEx, &flags, sizeof flags)) return ERROR_SUCCESS;
  DWORD refused = GetLastError();
  // The codes with which the class or one of its flags is unknown; any
  // other refusal (in use, not empty) is the answer.
  if (refused != ERROR_INVALID_PARAMETER && refused != ERROR_NOT_SUPPORTED && refused != ERROR_INVALID_FUNCTION &&
      refused != ERROR_CALL_NOT_IMPLEMENTED) {
    return refused;
  }
  clear_read_only(handle);
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
    return ERROR_SUCCESS;
  }
  return GetLastError();
}

class WindowsOpenEntry final : public OpenEntry {
 public:
  WindowsOpenEntry(OwnedHandle handle, ACCESS_MASK access, EntryKind kind)
      : handle_(std::move(handle)), access_(access), kind_(kind) {}

  EntryKind kind() const override { return kind_; }

  std::optional<std::vector<FolderEntry>> list() override;
  std::unique_ptr<OpenEntry> open(const std::string& name, OsError* error) override;
  std::optional<std::string> final_path() override { return final_path_of(handle_.get()); }
  bool remove(OsError* error) override;
  void count_as_link() { kind_ = EntryKind::Link; }

 private:
  OwnedHandle handle_;
  ACCESS_MASK access_;
  EntryKind kind_;
};

// Wraps a freshly opened handle; nothing when it cannot say what it is.
std::unique_ptr<OpenEntry> wrap(OwnedHandle handle, ACCESS_MASK access, OsError* error) {
  std::optional<EntryKind> kind = kind_of(handle.get());
  if (!kind) {
    if (error) *error = os_error(GetLastError());
    return nullptr;
  }
  return std::make_unique<WindowsOpenEntry>(std::move(handle), access, *kind);
}

// Tries the accesses in turn with `open` (which returns a Win32 error code)
// while the entry refuses them for sharing or access; the first refusal is
// the one reported.
template <class Open>
std::unique_ptr<OpenEntry> open_with_fallbacks(OsError* error, Open&& open) {
  DWORD first_refusal = ERROR_SUCCESS;
  for (ACCESS_MASK access : kAccessTried) {
    OwnedHandle handle;
    DWORD code = open(access, handle);
    if (code == ERROR_SUCCESS) return wrap(std::move(handle), access, error);
    if (first_refusal == ERROR_SUCCESS) first_refusal = code;
    if (!refused_for_sharing_or_access(code)) break;
  }
  if (error) *error = os_error(first_refusal);
  return nullptr;
}

std::optional<std::vector<FolderEntry>> WindowsOpenEntry::list() {
  if (kind_ != EntryKind::Folder || !(access_ & FILE_LIST_DIRECTORY)) return std::nullopt;
  // 64 KiB a call, aligned for the structure's 64-bit fields.
  constexpr size_t kWords = 8 * 1024;
  std::vector<uint64_t> buffer(kWords);
  std::vector<FolderEntry> entries;
  for (bool first = true;; first = false) {
    if (!GetFileInformationByHandleEx(handle_.get(), FileIdBothDirectoryInfo, buffer.data(),
                                      static_cast<DWORD>(buffer.size() * sizeof(uint64_t)))) {
      DWORD code = GetLastError();
      if (code == ERROR_NO_MORE_FILES || (first && code == ERROR_FILE_NOT_FOUND)) return entries;
      return std::nullopt;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (size_t offset = 0;;) {
      const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + offset);
      std::wstring_view name(info->FileName, info->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") {
        FolderEntry entry;
        std::optional<std::string> exact = to_utf8_strict(name);
        entry.exact_name = exact.has_value();
        entry.name = exact ? std::move(*exact) : to_utf8(name);
        entry.is_folder = (info->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.is_link = (info->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(std::move(entry));
      }
      if (info->NextEntryOffset == 0) break;
      offset += info->NextEntryOffset;
    }
  }
}

std::unique_ptr<OpenEntry> WindowsOpenEntry::open(const std::string& name, OsError* error) {
  std::wstring wide = to_wide(name);
  // One component only: a separator would walk on by name, following
  // whatever links lie on the way.
  bool one_component = !wide.empty() && wide != L"." && wide != L".." &&
                       wide.find_first_of(std::wstring_view(L"\\/\0", 3)) == std::wstring::npos;
  if (kind_ != EntryKind::Folder || !one_component || wide.size() * sizeof(wchar_t) > 0xFFFF) {
    if (error) *error = os_error(kErrorInvalidName);
    return nullptr;
  }
  return open_with_fallbacks(error, [&](ACCESS_MASK access, OwnedHandle& handle) {
    return open_relative(handle_.get(), wide, access, handle);
  });
}

bool WindowsOpenEntry::remove(OsError* error) {
  if (!handle_) {
    if (error) *error = os_error(ERROR_INVALID_HANDLE);
    return false;
  }
  // Opened without delete access: ask for it on the same entry again.
  OwnedHandle deletable;
  if (!(access_ & DELETE)) {
    if (DWORD code = open_relative(handle_.get(), L"", kDeleteOnly, deletable); code != ERROR_SUCCESS) {
      if (error) *error = os_error(code);
      return false;
    }
  }
  if (DWORD code = delete_by_handle(deletable ? deletable.get() : handle_.get()); code != ERROR_SUCCESS) {
    if (error) *error = os_error(code);
    return false;
  }
  // Closed now: without POSIX semantics the entry goes with its last handle.
  deletable.reset();
  handle_.reset();
  return true;
}

}  // namespace

std::unique_ptr<OpenEntry> open_entry_at(const std::wstring& path, OsError* error) {
  std::unique_ptr<OpenEntry> entry = open_with_fallbacks(error, [&](ACCESS_MASK access, OwnedHandle& handle) -> DWORD {
    HANDLE opened = CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return GetLastError();
    handle.reset(opened);
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
  // Wine opens a symbolic link's target even with FILE_FLAG_OPEN_REPARSE_POINT
  // and the handle then says folder; the path's own attributes, which do not
  // follow a final link, still say link. Taking either as a link can only
  // keep a folder from being entered.
  if (entry && entry->kind() == EntryKind::Folder) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      static_cast<WindowsOpenEntry&>(*entry).count_as_link();
    }
  }
  return entry;
}

std::optional<std::string> final_path_of(HANDLE handle) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);  // the length asked for includes the terminator
  }
  // "\\?\C:\x" -> "C:\x", "\\?\UNC\server\share" -> "\\server\share".
  std::string path = to_utf8(buffer);
  if (path.starts_with("\\\\?\\UNC\\")) return "\\\\" + path.substr(8);
  if (path.starts_with("\\\\?\\")) return path.substr(4);
  return path;
}

}  // namespace vestrana
