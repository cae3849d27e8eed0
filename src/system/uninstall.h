#pragma once
// The removal procedure: everything an install left behind goes, and on
// request the application's sign-in and settings data too. It never fails:
// whatever resists removal is passed over.

#include <string>

#include "system/platform.h"

namespace vestrana {

class ProgressRecord;

void uninstall(Platform& platform, ProgressRecord& progress, const std::string& install_folder,
               bool delete_user_data);

// Deletes both "com.vestrana.desktop" folders (local and roaming application
// data) with all their content, never following links out of them.
void remove_user_data(Platform& platform);

}  // namespace vestrana
