#include "system/remove_tree.h"

#include <memory>
#include <vector>

namespace vestrana {
namespace {

// One folder of the walk: opened when its turn comes, relative to the
// folder below it on the stack, which stays open until all of its content
// has been dealt with.
struct Pending {
  size_t parent = 0;
  std::string name;
  // Its folder's listing said link: whatever opening it gives, it is not
  // entered (Wine opens a symbolic link's target even when asked for the
  // link itself, but lists the link as one).
  bool listed_as_link = false;
  std::unique_ptr<OpenEntry> entry;
  bool listed = false;
};

// Opens the top of the stack when it is not open yet. False when it is done
// with: it could not be opened, or it is not a folder (any more) and has
// been deleted as what it is.
bool open_pending(std::vector<Pending>& stack, HoldRetry& retry) {
  Pending& pending = stack.back();
  if (pending.entry) return true;
  OpenEntry& parent = *stack[pending.parent].entry;
  pending.entry = open_surely(retry, [&](OsError* error) { return parent.open(pending.name, error); });
  if (!pending.entry) return false;
  if (pending.entry->kind() == EntryKind::Folder && !pending.listed_as_link) return true;
  remove_surely(retry, *pending.entry);
  return false;
}

}  // namespace

bool remove_surely(HoldRetry& retry, OpenEntry& entry) {
  for (;;) {
    OsError error;
    if (entry.remove(&error)) return true;
    if (!retry.again(error)) return false;
  }
}

std::unique_ptr<OpenEntry> open_surely(HoldRetry& retry,
                                       const std::function<std::unique_ptr<OpenEntry>(OsError*)>& open) {
  for (;;) {
    OsError error;
    if (std::unique_ptr<OpenEntry> entry = open(&error)) return entry;
    if (!retry.again(error)) return nullptr;
  }
}

void remove_tree(FileSystem& files, Clock& clock, const std::string& folder) {
  HoldRetry retry(clock);
  remove_tree(files, retry, folder);
}

void remove_tree(FileSystem& files, HoldRetry& retry, const std::string& folder) {
  std::unique_ptr<OpenEntry> top = open_surely(retry, [&](OsError* error) { return files.open_entry(folder, error); });
  if (!top) return;
  if (top->kind() == EntryKind::Link) remove_surely(retry, *top);
  if (top->kind() != EntryKind::Folder) return;  // a file of that name is not ours to delete

  // An explicit stack instead of recursion: a deep tree must not be able to
  // overflow the worker thread's stack. Entries are opened one at a time,
  // when their turn comes, so that a wide folder does not hold a handle for
  // each of its subfolders at once.
  std::vector<Pending> stack;
  stack.push_back({0, folder, false, std::move(top), false});
  while (!stack.empty()) {
    if (!open_pending(stack, retry)) {
      stack.pop_back();
      continue;
    }
    if (stack.back().listed) {
      remove_surely(retry, *stack.back().entry);
      stack.pop_back();  // closes it: a folder deleted without POSIX semantics goes now
      continue;
    }
    stack.back().listed = true;
    std::optional<std::vector<FolderEntry>> entries = stack.back().entry->list();
    if (!entries) continue;
    size_t parent = stack.size() - 1;
    for (FolderEntry& entry : *entries) {
      if (!entry.exact_name) continue;
      stack.push_back({parent, std::move(entry.name), entry.is_link, nullptr, false});
    }
  }
}

void remove_named_entries(FileSystem& files, HoldRetry& retry, const std::string& folder,
                          std::span<const std::string> names, const std::function<bool(OpenEntry&)>& keep) {
  std::unique_ptr<OpenEntry> opened =
      open_surely(retry, [&](OsError* error) { return files.open_entry(folder, error); });
  if (!opened) return;
  if (opened->kind() == EntryKind::Link) remove_surely(retry, *opened);
  if (opened->kind() != EntryKind::Folder) return;
  for (const std::string& name : names) {
    std::unique_ptr<OpenEntry> entry = open_surely(retry, [&](OsError* error) { return opened->open(name, error); });
    if (!entry || entry->kind() == EntryKind::Folder || keep(*entry)) continue;
    remove_surely(retry, *entry);
  }
  remove_surely(retry, *opened);
}

}  // namespace vestrana
