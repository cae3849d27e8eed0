#include "system/remove_tree.h"

#include <vector>

#include "system/win_path.h"

namespace vestrana {
namespace {

void remove_link(FileSystem& files, HoldRetry& retry, const std::string& path, bool folder_link) {
  // A folder link (junction, directory symlink) goes with RemoveDirectoryW, a
  // file symlink with DeleteFileW; neither touches what the link points at.
  if (folder_link) {
    remove_folder_surely(files, retry, path);
  } else {
    delete_file_surely(files, retry, path);
  }
}

}  // namespace

void remove_tree(FileSystem& files, Clock& clock, const std::string& folder) {
  HoldRetry retry(clock);
  if (files.is_link(folder)) {
    // Which kind of link it is matters not: try both ways of removing it.
    if (!files.remove_folder(folder)) files.delete_file(folder);
    return;
  }

  // An explicit stack instead of recursion: a deep tree must not be able to
  // overflow the worker thread's stack.
  struct Pending {
    std::string path;
    bool listed = false;
  };
  std::vector<Pending> stack;
  stack.push_back({folder});
  while (!stack.empty()) {
    if (stack.back().listed) {
      remove_folder_surely(files, retry, stack.back().path);
      stack.pop_back();
      continue;
    }
    stack.back().listed = true;
    std::string path = stack.back().path;  // copied: push_back below may move it
    std::optional<std::vector<FolderEntry>> entries = files.list_folder(path);
    if (!entries) continue;
    for (FolderEntry& entry : *entries) {
      if (!entry.exact_name) continue;
      std::string child = join_path(path, entry.name);
      if (entry.is_link) {
        remove_link(files, retry, child, entry.is_folder);
      } else if (entry.is_folder) {
        stack.push_back({std::move(child)});
      } else {
        delete_file_surely(files, retry, child);
      }
    }
  }
}

}  // namespace vestrana
