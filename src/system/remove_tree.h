#pragma once
// Deleting a folder with everything in it, or some named files of a folder
// and then the folder, without ever following a junction or symbolic link
// out of it. Both go from handle to handle (FileSystem::open_entry): every
// folder is opened once without following a link, listed and entered
// through that handle, and every entry is deleted through its own handle
// opened relative to its folder's. A folder that is swapped for a link
// between its listing and its descent is then opened as the link it has
// become and deleted as a link, so the swap cannot redirect the deletion
// into another tree; deleting by path would follow it.

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "system/file_system.h"

namespace vestrana {

// Deletes `folder` and its whole content, depth first. A link found inside is
// removed itself and never entered, so nothing outside the tree is touched; a
// `folder` that is itself a link is removed as a link only. Read-only files
// and folders are removed too, and a passing hold by another process is
// waited out (for the whole tree together, at most kHoldRetryLimit). An
// entry whose name cannot be read exactly is left alone, since its name as
// read may address another entry. Every failure is ignored: whatever resists
// deletion stays, and so do the folders holding it.
void remove_tree(FileSystem& files, Clock& clock, const std::string& folder);
// The same with the holds waited out by `retry`, which may serve several trees.
void remove_tree(FileSystem& files, HoldRetry& retry, const std::string& folder);

// Deletes the entries `names` of `folder` that are files or links (read-only
// or not, waiting out passing holds with `retry`), except those for which
// `keep` says so, then `folder` itself if it has become empty. Missing
// entries are no fault, and a folder of one of the names stays. A `folder`
// that is itself a link is removed as a link: nothing is deleted through it.
void remove_named_entries(FileSystem& files, HoldRetry& retry, const std::string& folder,
                          std::span<const std::string> names, const std::function<bool(OpenEntry&)>& keep);

// Deletes an opened entry through its handle, waiting out a passing hold.
bool remove_surely(HoldRetry& retry, OpenEntry& entry);

// Opens with `open` until it succeeds, waiting out a passing hold; nothing
// for a missing entry or one that stays refused.
std::unique_ptr<OpenEntry> open_surely(HoldRetry& retry,
                                       const std::function<std::unique_ptr<OpenEntry>(OsError*)>& open);

}  // namespace vestrana
