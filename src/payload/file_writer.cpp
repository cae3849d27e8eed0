#include "payload/file_writer.h"

#include <vector>

#include "system/win_path.h"

namespace vestrana {

std::optional<OsError> write_file_replacing(FileSystem& files, const std::string& target,
                                            std::span<const uint8_t> bytes) {
  std::string temp = with_extension_new(target);
  // A target that itself ends in ".new" would be its own temporary file: it
  // would be truncated before the rename and deleted on a failure.
  if (same_path(temp, target, /*ignore_case=*/true)) temp = target + ".new";

  if (std::optional<OsError> error = files.write_new_file(temp, bytes)) {
    // A partly written temporary file is of no use to anyone.
    files.delete_file(temp);
    return error;
  }

  std::optional<OsError> error = files.rename_replacing(temp, target);
  if (!error) return std::nullopt;
  if (error->code == kErrorAccessDenied) {
    // MoveFileExW refuses to replace a read-only target; a rename through the
    // handle with POSIX semantics ignores that attribute.
    std::optional<OsError> retry = files.rename_by_handle(temp, target);
    if (!retry) return std::nullopt;
    // "Directory not empty" says more than the first call's "access denied".
    if (retry->code == kErrorDirNotEmpty) error = std::move(retry);
  }
  files.delete_file(temp);
  return error;
}

std::optional<OsError> create_folder_all(FileSystem& files, const std::string& folder) {
  // Walk outward to the first folder that exists, then create inward.
  std::vector<std::string> missing;
  std::string current = folder;
  while (!current.empty() && !files.is_folder(current)) {
    missing.push_back(current);
    std::optional<std::string> parent = parent_folder(current);
    if (!parent) break;
    current = std::move(*parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::optional<OsError> error = files.create_folder(*it);
    if (!error) continue;
    // Created in the meantime by someone else: just as good. A file of that
    // name also reports "already exists", but is no folder.
    if (error->code == kErrorAlreadyExists && files.is_folder(*it)) continue;
    return error;
  }
  return std::nullopt;
}

}  // namespace vestrana
