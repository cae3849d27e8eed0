#pragma once
// The removal procedure: everything an install left behind goes, and on
// request the application's sign-in and settings data too. Whatever resists
// removal is passed over.

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"

#include "system/platform.h"

namespace vestrana {

class ProgressRecord;
struct InstalledEntry;

// The folder a removal works on, from the folder named on its command line
// (`dir`) and the installed entry. Only a folder that can be ours
// (can_be_our_folder) is ever chosen; a foreign one is never opened, as if it
// had not been named. The named folder when it holds our installation (it is
// the recorded one, or it holds the application program: an installation
// whose entry is lost), else the recorded folder, else, when the entry names
// a foreign folder, the default install folder, the only other place our
// files can be. Else empty: with nothing recorded and nothing of ours there,
// the removal deletes no file, so that a removal started from Downloads
// never takes someone else's "uninstall.exe".
std::string removal_folder(Platform& platform, const std::optional<std::string>& dir,
                           const std::optional<InstalledEntry>& entry);

// An empty install folder, or one that cannot be ours, means that no folder
// holds an installation of ours: no file is deleted and no process ended,
// only what the program finds by its own names (shortcuts, registry values
// and keys, user data) goes. With `leave_uninstaller`, "uninstall.exe" and
// so the folder stay for the cleanup helper to delete.
//
// The one refusal: a copy of the app in the install folder that runs with
// more rights than this program cannot be ended, and its files could not be
// deleted; the removal then stops before it has touched anything and
// returns `app_elevated`, so that the user can close it and try again.
Result uninstall(Platform& platform, ProgressRecord& progress, const std::string& install_folder, bool delete_user_data,
                 std::string_view app_elevated, bool leave_uninstaller = false);

// Deletes both "com.vestrana.desktop" folders (local and roaming application
// data) with all their content, never following links out of them.
void remove_user_data(Platform& platform);

}  // namespace vestrana
