#pragma once
// Deleting a folder with everything in it, without ever following a junction
// or symbolic link out of it.

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

}  // namespace vestrana
