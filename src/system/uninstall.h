#pragma once
// The removal procedure: everything an install left behind goes, and on
// request the application's sign-in and settings data too. It never fails:
// whatever resists removal is passed over.

#include <string>

#include "system/platform.h"

namespace vestrana {

class ProgressRecord;

// An empty install folder means that no folder holds an installation of ours:
// no file is deleted and no process ended, only what the program finds by its
// own names (shortcuts, registry values and keys, user data) goes.
void uninstall(Platform& platform, ProgressRecord& progress, const std::string& install_folder,
               bool delete_user_data);

// Deletes both "com.vestrana.desktop" folders (local and roaming application
// data) with all their content, never following links out of them.
void remove_user_data(Platform& platform);

}  // namespace vestrana
