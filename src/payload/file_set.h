#pragma once
// Replacing the installed files as one set: an update that fails half-way
// must not leave a new program beside an old loader library, which may not
// even start. Every new file is first written and flushed beside its target
// under a temporary name ("vestrana.exe" -> "vestrana.new"); only then is
// each old file moved aside under its backup name ("vestrana.old") and the
// new one moved in, file by file in the set's order. A failure moves every
// old file back; the backups go once all new files are in.
//
// A run killed part-way leaves the two kinds of names behind, and they say
// how far it got: a temporary name that is still there means that not all
// new files had been moved in, so the backups are put back; backups alone
// mean that they all were, so only the backups are left to delete.
// recover_file_set makes the set whole again by these rules.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "system/file_system.h"
#include "system/os_error.h"

namespace vestrana {

// One file of the set: its name in the folder and its new contents.
struct SetFile {
  std::string name;
  std::span<const uint8_t> bytes;
};

// What was done to the set, one event per file operation that succeeded, in
// order, for whoever wants to tell an administrator about it.
struct FileSetEvent {
  enum class Kind {
    Written,  // the temporary file holds all new bytes (`size` of them)
    MovedAside,  // the old file is under its backup name
    MovedIn,  // the new file is under its own name
    PutBack,  // the backup is under its own name again
    RemovedNew,  // a temporary file, or a new file that had no old one, is gone
    RemovedBackup,  // a backup is gone
    Failed  // the operation on this file that failed the set
  };
  Kind kind;
  std::string name;  // the set file's own name ("vestrana.exe")
  uint64_t size = 0;
};

// The temporary and the backup name of a file of the set.
std::string temporary_name(std::string_view name);
std::string backup_name(std::string_view name);

// Puts `files` into `folder` all or nothing. The folder is (re)created when
// it is missing, also when it vanishes before the first temporary file is
// in it (a removal's cleanup may remove it while it is empty). A temporary
// name is created afresh and never written through, a read-only old file is
// replaced, and each write, rename and delete waits out a hold by another
// process for up to kHoldRetryLimit. On failure the folder's files are what
// they were (a backup that cannot be moved back stays, with the temporary
// files, for recover_file_set) and the first failure's error is returned.
// `events`, when given, receives what was done.
std::optional<OsError> replace_file_set(FileSystem& files, Clock& clock, const std::string& folder,
                                        std::span<const SetFile> set, std::vector<FileSetEvent>* events = nullptr);

// What recover_file_set found.
enum class Recovery {
  Clean,  // no temporary or backup name of the set
  Finished,  // every new file was in place: the backups were deleted
  RolledBack,  // the backups were put back and the temporary files deleted
};
struct RecoveryResult {
  Recovery recovery = Recovery::Clean;
  // Set when a backup could not be put back or deleted: the set is not whole
  // and must not be replaced before it is.
  std::optional<OsError> error;
};

// Makes the set of `names` in `folder` whole after a run that was killed
// while replacing it (see above). A missing folder is Clean.
RecoveryResult recover_file_set(FileSystem& files, Clock& clock, const std::string& folder,
                                std::span<const std::string_view> names, std::vector<FileSetEvent>* events = nullptr);

}  // namespace vestrana
