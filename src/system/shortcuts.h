#pragma once
// The application's shell shortcuts: one in the Start-menu programs folder and
// one on the desktop, both named "vestrana.lnk" and both carrying the
// application's AppUserModel ID so that the taskbar groups the running app
// with its shortcut.

#include <optional>
#include <string>

#include "base/result.h"

namespace vestrana {

class FileSystem;
class KnownFolders;
class ShellLinkApi;
class SystemMessages;

// The programs folder joined with "vestrana.lnk" (no subfolder); nothing when
// the folder cannot be resolved.
std::optional<std::string> start_menu_shortcut_path(KnownFolders& folders);

// The desktop joined with "vestrana.lnk"; nothing when it cannot be resolved.
std::optional<std::string> desktop_shortcut_path(KnownFolders& folders);

// Writes the shortcut file `link` pointing at `target` (working folder: the
// target's folder; icon: the target; description: "vestrana"; the app's
// identity). An existing file is replaced. On failure the text reads
// "shortcut <link>: <step>: <system error description>", the step being one
// of create, path, folder, icon, description, properties, identity, file, save.
Result create_shortcut(ShellLinkApi& links, FileSystem& files, SystemMessages& messages, const std::string& link,
                       const std::string& target);

// Deletes the shortcut file; a missing or protected file is left as it is.
// True when a file was deleted.
bool remove_shortcut(FileSystem& files, const std::string& link);

// True when something (of any kind) exists at the desktop shortcut path.
bool desktop_shortcut_present(KnownFolders& folders, FileSystem& files);

}  // namespace vestrana
