#include "payload/file_set.h"

#include "system/win_path.h"

namespace vestrana {
namespace {

using Kind = FileSetEvent::Kind;

constexpr uint32_t kErrorPathNotFound = 3;
// How often a folder that vanished under the first write is created again:
// a removal's cleanup removes it at most once or twice, a folder that keeps
// vanishing is someone's fault to report.
constexpr int kFolderAttempts = 3;

void note(std::vector<FileSetEvent>* events, Kind kind, std::string_view name, uint64_t size = 0) {
  if (events) events->push_back(FileSetEvent{kind, std::string(name), size});
}

// One rename of `from` onto `to`, which may exist.
std::optional<OsError> rename_once(FileSystem& files, const std::string& from, const std::string& to) {
  std::optional<OsError> error = files.rename_replacing(from, to);
  if (!error || error->code != kErrorAccessDenied) return error;
  // MoveFileExW refuses to replace a read-only target, and so does a rename
  // through the handle unless it may ignore the attribute, which only
  // Windows 10 1809 and later understand: the attribute goes first.
  if (files.clear_read_only(to)) {
    error = files.rename_replacing(from, to);
    if (!error || error->code != kErrorAccessDenied) return error;
  }
  // A target that is still refused (one that a program has mapped, say) gets
  // the rename through the handle with POSIX semantics.
  std::optional<OsError> retry = files.rename_by_handle(from, to);
  if (!retry) return std::nullopt;
  // "Directory not empty" says more than the first call's "access denied".
  if (retry->code == kErrorDirNotEmpty) return retry;
  return error;
}

// A rename that waits out a passing hold.
std::optional<OsError> move(FileSystem& files, Clock& clock, const std::string& from, const std::string& to) {
  HoldRetry retry(clock);
  std::optional<OsError> error;
  do {
    error = rename_once(files, from, to);
  } while (error && retry.again(*error));
  return error;
}

// Deletes a temporary file or a backup if there is one; true when one went.
bool remove_if_there(FileSystem& files, Clock& clock, const std::string& path) {
  if (!files.exists(path)) return false;
  HoldRetry retry(clock);
  return remove_entry(files, retry, path);
}

std::optional<OsError> write_temporary(FileSystem& files, Clock& clock, const std::string& folder,
                                       const SetFile& file) {
  const std::string temp = join_path(folder, temporary_name(file.name));
  HoldRetry retry(clock);
  int folder_attempts = 1;
  for (;;) {
    std::optional<OsError> error = files.write_new_file(temp, file.bytes);
    if (!error) return std::nullopt;
    if (error->code == kErrorPathNotFound && folder_attempts < kFolderAttempts) {
      ++folder_attempts;
      if (std::optional<OsError> created = create_folder_all(files, folder)) return created;
      continue;
    }
    if (retry.again(*error)) continue;
    // A partly written temporary file is of no use to anyone.
    HoldRetry cleanup(clock);
    delete_file_surely(files, cleanup, temp);
    return error;
  }
}

// How far one file of the set got.
struct Placed {
  std::string_view name;
  bool had_old = false;  // its old file is under the backup name
  bool moved_in = false;  // the new file is under its own name
};

std::optional<OsError> swap_in(FileSystem& files, Clock& clock, const std::string& folder, std::span<const SetFile> set,
                               std::vector<Placed>& placed, std::vector<FileSetEvent>* events) {
  for (const SetFile& file : set) {
    const std::string target = join_path(folder, file.name);
    Placed& now = placed.emplace_back(Placed{file.name});
    if (files.exists(target)) {
      if (std::optional<OsError> error = move(files, clock, target, join_path(folder, backup_name(file.name)))) {
        placed.pop_back();
        note(events, Kind::Failed, file.name);
        return error;
      }
      now.had_old = true;
      note(events, Kind::MovedAside, file.name);
    }
    if (std::optional<OsError> error = move(files, clock, join_path(folder, temporary_name(file.name)), target)) {
      note(events, Kind::Failed, file.name);
      return error;
    }
    now.moved_in = true;
    note(events, Kind::MovedIn, file.name);
  }
  return std::nullopt;
}

// Undoes swap_in. The temporary files go only when every old file is back:
// while one is not, they are what tells the next run to put it back.
void roll_back(FileSystem& files, Clock& clock, const std::string& folder, std::span<const SetFile> set,
               const std::vector<Placed>& placed, std::vector<FileSetEvent>* events) {
  bool whole = true;
  for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
    const std::string target = join_path(folder, it->name);
    if (it->had_old) {
      if (move(files, clock, join_path(folder, backup_name(it->name)), target)) {
        whole = false;
      } else {
        note(events, Kind::PutBack, it->name);
      }
    } else if (it->moved_in) {
      HoldRetry retry(clock);
      if (delete_file_surely(files, retry, target)) note(events, Kind::RemovedNew, it->name);
    }
  }
  if (!whole) return;
  for (const SetFile& file : set) {
    if (remove_if_there(files, clock, join_path(folder, temporary_name(file.name)))) {
      note(events, Kind::RemovedNew, file.name);
    }
  }
}

}  // namespace

std::string temporary_name(std::string_view name) { return with_extension_new(name); }

std::string backup_name(std::string_view name) {
  std::string out = with_extension_new(name);
  out.replace(out.size() - 3, 3, "old");
  return out;
}

std::optional<OsError> replace_file_set(FileSystem& files, Clock& clock, const std::string& folder,
                                        std::span<const SetFile> set, std::vector<FileSetEvent>* events) {
  if (std::optional<OsError> error = create_folder_all(files, folder)) return error;
  for (size_t i = 0; i < set.size(); ++i) {
    if (std::optional<OsError> error = write_temporary(files, clock, folder, set[i])) {
      note(events, Kind::Failed, set[i].name);
      for (size_t j = 0; j < i; ++j) {
        if (remove_if_there(files, clock, join_path(folder, temporary_name(set[j].name)))) {
          note(events, Kind::RemovedNew, set[j].name);
        }
      }
      return error;
    }
    note(events, Kind::Written, set[i].name, set[i].bytes.size());
  }

  std::vector<Placed> placed;
  if (std::optional<OsError> error = swap_in(files, clock, folder, set, placed, events)) {
    roll_back(files, clock, folder, set, placed, events);
    return error;
  }
  // A backup that cannot be deleted now (a scanner reading it) is deleted
  // by the next run's recovery: with no temporary file left it means done.
  for (const Placed& file : placed) {
    if (file.had_old && remove_if_there(files, clock, join_path(folder, backup_name(file.name)))) {
      note(events, Kind::RemovedBackup, file.name);
    }
  }
  return std::nullopt;
}

RecoveryResult recover_file_set(FileSystem& files, Clock& clock, const std::string& folder,
                                std::span<const std::string_view> names, std::vector<FileSetEvent>* events) {
  RecoveryResult result;
  if (!files.is_folder(folder)) return result;
  bool any_temporary = false, any_backup = false;
  for (std::string_view name : names) {
    any_temporary |= files.exists(join_path(folder, temporary_name(name)));
    any_backup |= files.exists(join_path(folder, backup_name(name)));
  }
  if (!any_temporary && !any_backup) return result;

  if (!any_temporary) {
    result.recovery = Recovery::Finished;
    for (std::string_view name : names) {
      if (remove_if_there(files, clock, join_path(folder, backup_name(name)))) {
        note(events, Kind::RemovedBackup, name);
      }
    }
    return result;
  }

  result.recovery = Recovery::RolledBack;
  for (std::string_view name : names) {
    const std::string backup = join_path(folder, backup_name(name));
    if (!files.exists(backup)) continue;
    if (std::optional<OsError> error = move(files, clock, backup, join_path(folder, name))) {
      if (!result.error) result.error = std::move(error);
    } else {
      note(events, Kind::PutBack, name);
    }
  }
  if (result.error) return result;
  for (std::string_view name : names) {
    if (remove_if_there(files, clock, join_path(folder, temporary_name(name)))) {
      note(events, Kind::RemovedNew, name);
    }
  }
  return result;
}

}  // namespace vestrana
