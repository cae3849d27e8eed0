#pragma once
// Files and folders, as the install and removal procedures need them. Paths
// are UTF-8 text; the Windows implementation converts at each call.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "system/os_error.h"

namespace vestrana {

class Clock;

struct FolderEntry {
  std::string name;
  bool is_folder = false;
  // A junction or symbolic link (reparse point): removed itself, never entered.
  bool is_link = false;
  // False when the entry's real (UTF-16) name does not convert to UTF-8 and
  // back unchanged: `name` then holds replacement characters and would
  // address another entry, or none, so the entry must not be touched by it.
  bool exact_name = true;
};

// What an entry opened without following a link is, as its own handle says.
enum class EntryKind { File, Folder, Link };

// One file, folder or link (any reparse point: symbolic link, junction, mount
// point), opened once without following a link. Whatever is listed, opened
// inside or deleted through it is the entry that was opened, even when
// something else has been renamed or planted under its name since: a walk
// that goes from handle to handle cannot be redirected out of its tree.
class OpenEntry {
 public:
  virtual ~OpenEntry() = default;
  virtual EntryKind kind() const = 0;
  // A folder's entries (without "." and ".."), read through the handle;
  // nothing when they cannot be read.
  virtual std::optional<std::vector<FolderEntry>> list() = 0;
  // The entry `name` of this folder, opened relative to its handle; a link
  // is opened itself. Nothing, with the reason in `error`, when it cannot be
  // opened (missing 2, held by another process without delete sharing 32).
  virtual std::unique_ptr<OpenEntry> open(const std::string& name, OsError* error) = 0;
  // The canonical full path of the entry (GetFinalPathNameByHandleW).
  virtual std::optional<std::string> final_path() = 0;
  // Deletes the entry through its own handle: a file or a link (never what
  // it points at), or a folder once it is empty; a read-only attribute does
  // not stand in the way. The name is gone when the call succeeds, at the
  // latest when the entry is closed.
  virtual bool remove(OsError* error) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens the entry at `path` for walking and deleting: the folders on the
  // way are followed, the last component is not (a link is opened itself).
  // Nothing, with the reason in `error`, when it cannot be opened.
  virtual std::unique_ptr<OpenEntry> open_entry(const std::string& path, OsError* error) = 0;

  // Creates `path` as a fresh file (write access, sharing read/write/delete)
  // and writes all of `bytes`; interrupted writes are repeated and a write
  // that accepts zero bytes fails with "failed to write whole buffer". The
  // bytes are flushed to the disk before the file is closed. Whatever entry
  // had the name before (a file, read-only or not, or a link) is removed
  // first and never written through: the new file is created exclusively,
  // without following a reparse point.
  virtual std::optional<OsError> write_new_file(const std::string& path, std::span<const uint8_t> bytes) = 0;
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
  // whatever it points at: the attributes of the entry itself.
  virtual bool is_link(const std::string& path) = 0;
  virtual std::optional<OsError> read_file(const std::string& path, std::vector<uint8_t>& out) = 0;
  virtual std::optional<OsError> file_size(const std::string& path, uint64_t& out) = 0;
  // The canonical full path (GetFinalPathNameByHandleW on a handle opened for
  // the path), or nothing when the path cannot be opened or resolved.
  virtual std::optional<std::string> final_path(const std::string& path) = 0;
  // DeleteFileW; on failure `error` (when given) receives the reason.
  virtual bool delete_file(const std::string& path, OsError* error = nullptr) = 0;
  // RemoveDirectoryW: removes an empty folder, or a folder link itself.
  virtual bool remove_folder(const std::string& path, OsError* error = nullptr) = 0;
  // Clears the read-only attribute of the entry itself (not of what a link
  // points at); true when it was set and is now cleared.
  virtual bool clear_read_only(const std::string& path) = 0;
  // The user's temporary folder, ending in a separator (GetTempPath2W, else GetTempPathW).
  virtual std::optional<std::string> temp_folder() = 0;
};

// Another process that holds a file for a moment without sharing it
// (antivirus scanners open every freshly written program, indexers and
// backup tools open anything) makes writes, renames and deletes fail with a
// sharing violation or access denied. One HoldRetry serves one operation
// (one file written, one tree removed): it allows such failures to be
// retried with short pauses until kHoldRetryLimit has passed since the
// first of them; a hold that lasts longer still fails.
inline constexpr std::chrono::milliseconds kHoldRetryLimit{3000};
inline constexpr std::chrono::milliseconds kHoldRetryPause{100};
// The user data: a WebView2 browser process of the app holds its lockfile,
// cookies and login data until it has shut down, which often takes longer
// than kHoldRetryLimit.
inline constexpr std::chrono::milliseconds kUserDataHoldLimit{10000};

class HoldRetry {
 public:
  explicit HoldRetry(Clock& clock, std::chrono::milliseconds limit = kHoldRetryLimit) : clock_(clock), limit_(limit) {}
  // True after a short pause when `error` may come from a passing hold and
  // time is left; false at once for any other error or once time is up.
  bool again(const OsError& error);

 private:
  Clock& clock_;
  std::chrono::milliseconds limit_;
  std::optional<std::chrono::steady_clock::time_point> deadline_;
};

// Deletes a file that is ours to delete: a read-only attribute is cleared
// and a passing hold waited out. Success when the file is gone afterwards
// (a missing file included).
bool delete_file_surely(FileSystem& files, HoldRetry& retry, const std::string& path);

// Removes an empty folder, or a folder link itself, the same way.
bool remove_folder_surely(FileSystem& files, HoldRetry& retry, const std::string& path);

// Removes whatever has this name so that it can be created afresh: a file
// or a file link with delete_file_surely, a folder link (or empty folder)
// with remove_folder_surely. Never follows a link.
bool remove_entry(FileSystem& files, HoldRetry& retry, const std::string& path);

// Creates `folder` together with every missing parent, outermost first. A
// folder that already exists is success; a file in the way is a failure.
std::optional<OsError> create_folder_all(FileSystem& files, const std::string& folder);

}  // namespace vestrana
