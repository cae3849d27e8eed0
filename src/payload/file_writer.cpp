#include "payload/file_writer.h"

#include <vector>

#include "system/win_path.h"

namespace vestrana {

namespace {

// One rename of the temporary file onto the target.
std::optional<OsError> rename_onto(FileSystem& files, const std::string& temp, const std::string& target) {
  std::optional<OsError> error = files.rename_replacing(temp, target);
  if (!error || error->code != kErrorAccessDenied) return error;
  // MoveFileExW refuses to replace a read-only target, and so does a rename
  // through the handle unless it may ignore the attribute, which only
  // Windows 10 1809 and later understand: the attribute goes first.
  if (files.clear_read_only(target)) {
    error = files.rename_replacing(temp, target);
    if (!error || error->code != kErrorAccessDenied) return error;
  }
  // A target that is still refused (one that a program has mapped, say) gets
  // the rename through the handle with POSIX semantics.
  std::optional<OsError> retry = files.rename_by_handle(temp, target);
  if (!retry) return std::nullopt;
  // "Directory not empty" says more than the first call's "access denied".
  if (retry->code == kErrorDirNotEmpty) return retry;
  return error;
}

}  // namespace

std::optional<OsError> write_file_replacing(FileSystem& files, Clock& clock, const std::string& target,
                                            std::span<const uint8_t> bytes) {
  std::string temp = with_extension_new(target);
  // A target that itself ends in ".new" would be its own temporary file: it
  // would be truncated before the rename and deleted on a failure.
  if (same_path(temp, target, /*ignore_case=*/true)) temp = target + ".new";

  HoldRetry retry(clock);
  std::optional<OsError> error;
  do {
    error = files.write_new_file(temp, bytes);
  } while (error && retry.again(*error));
  if (error) {
    // A partly written temporary file is of no use to anyone.
    delete_file_surely(files, retry, temp);
    return error;
  }

  do {
    error = rename_onto(files, temp, target);
  } while (error && retry.again(*error));
  if (!error) return std::nullopt;
  delete_file_surely(files, retry, temp);
  return error;
}

}  // namespace vestrana
