#pragma once
// Files and folders, as the install and removal procedures need them. Paths
// are UTF-8 text; the Windows implementation converts at each call.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "system/os_error.h"

namespace vestrana {

inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorDirNotEmpty = 145;

struct FolderEntry {
  std::string name;
  bool is_folder = false;
  // A junction or symbolic link (reparse point): removed itself, never entered.
  bool is_link = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates or truncates `path` (write access, sharing read/write/delete) and
  // writes all of `bytes`; interrupted writes are repeated and a write that
  // accepts zero bytes fails with "failed to write whole buffer".
  virtual std::optional<OsError> write_new_file(const std::string& path,
                                                std::span<const uint8_t> bytes) = 0;
  // MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING).
  virtual std::optional<OsError> rename_replacing(const std::string& from, const std::string& to) = 0;
  // The fallback rename: open `from` for delete access and rename through
  // SetFileInformationByHandle(FileRenameInfoEx, replace-if-exists | POSIX).
  virtual std::optional<OsError> rename_by_handle(const std::string& from, const std::string& to) = 0;
  // CreateDirectoryW on one folder; an existing folder reports kErrorAlreadyExists.
  virtual std::optional<OsError> create_folder(const std::string& path) = 0;
  virtual bool is_folder(const std::string& path) = 0;
  // Any kind of entry whose metadata can be read.
  virtual bool exists(const std::string& path) = 0;
  // True when `path` itself is a junction or symbolic link (reparse point),
  // whatever it points at. The default looks the entry up in its parent's
  // listing; the Windows implementation asks for the entry's attributes.
  virtual bool is_link(const std::string& path);
  virtual std::optional<OsError> read_file(const std::string& path, std::vector<uint8_t>& out) = 0;
  virtual std::optional<OsError> file_size(const std::string& path, uint64_t& out) = 0;
  // The canonical full path (GetFinalPathNameByHandleW on a handle opened for
  // the path), or nothing when the path cannot be opened or resolved.
  virtual std::optional<std::string> final_path(const std::string& path) = 0;
  virtual bool delete_file(const std::string& path) = 0;
  // RemoveDirectoryW: removes an empty folder, or a folder link itself.
  virtual bool remove_folder(const std::string& path) = 0;
  // The entries of a folder (without "." and ".."); nothing when unreadable.
  virtual std::optional<std::vector<FolderEntry>> list_folder(const std::string& path) = 0;
  // The user's temporary folder, ending in a separator (GetTempPath2W, else GetTempPathW).
  virtual std::optional<std::string> temp_folder() = 0;
};

}  // namespace vestrana
