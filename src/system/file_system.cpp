#include "system/file_system.h"

#include <vector>

#include "base/clock.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// The codes a hold by another process gives: a sharing or lock violation,
// or access denied (a file that is open without delete sharing, or whose
// deletion is still pending because it was open when it was deleted).
bool may_be_a_hold(const OsError& error) {
  return error.code == kErrorSharingViolation || error.code == kErrorLockViolation || error.code == kErrorAccessDenied;
}

bool is_missing(const OsError& error) { return error.code == kErrorFileNotFound || error.code == kErrorPathNotFound; }

// Runs `remove` until it succeeds, clearing a read-only attribute once and
// waiting out a passing hold.
template <class Remove>
bool remove_surely(FileSystem& files, HoldRetry& retry, const std::string& path, Remove&& remove) {
  bool cleared = false;
  for (;;) {
    OsError error;
    if (remove(path, &error)) return true;
    if (is_missing(error)) return !files.exists(path);
    // A read-only entry refuses deletion with access denied; only the first
    // refusal can be that, so the attribute is cleared once.
    if (error.code == kErrorAccessDenied && !cleared) {
      cleared = true;
      if (files.clear_read_only(path)) continue;
    }
    if (!retry.again(error)) return false;
  }
}

}  // namespace

bool HoldRetry::again(const OsError& error) {
  if (!may_be_a_hold(error)) return false;
  Clock::TimePoint now = clock_.now();
  if (!deadline_) deadline_ = now + limit_;
  if (now >= *deadline_) return false;
  clock_.sleep_for(kHoldRetryPause);
  return true;
}

bool delete_file_surely(FileSystem& files, HoldRetry& retry, const std::string& path) {
  return remove_surely(files, retry, path,
                       [&](const std::string& p, OsError* error) { return files.delete_file(p, error); });
}

bool remove_folder_surely(FileSystem& files, HoldRetry& retry, const std::string& path) {
  return remove_surely(files, retry, path,
                       [&](const std::string& p, OsError* error) { return files.remove_folder(p, error); });
}

bool remove_entry(FileSystem& files, HoldRetry& retry, const std::string& path) {
  if (!files.exists(path)) return true;
  // is_folder looks at the entry itself: a folder link counts as a folder.
  if (files.is_folder(path)) return remove_folder_surely(files, retry, path);
  return delete_file_surely(files, retry, path);
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
