#pragma once
// The decisions start-up makes from what it has read (command line, installed
// entry, the user's settings), kept apart from the reading so that they can be
// checked without Windows.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/mode.h"
#include "ui/strings.h"

namespace vestrana {

// Remove when asked to; Update when another version is installed; Install
// when nothing is, or when the installed version is byte for byte this one.
Mode choose_mode(bool uninstall_flag, const std::optional<std::string>& installed_version);

// The option values the welcome screen starts with, in display order.
// Install/Update: [desktop shortcut, start with Windows]; an installed copy
// keeps the user's earlier choices, a first install proposes a desktop
// shortcut and no autostart. Remove: [also delete sign-in and settings], off.
std::vector<bool> default_options(const Mode& mode, bool installed, bool desktop_shortcut_present,
                                  bool autostart_present);

// The folder a removal works on: --dir, else the installed entry's folder,
// else the default install folder. An empty text counts as not given: an empty
// folder would make every file name relative to wherever the process happens
// to run, and removal must never delete there.
std::optional<std::string> choose_target_folder(const std::optional<std::string>& dir,
                                                const std::optional<std::string>& installed_location,
                                                const std::optional<std::string>& default_folder);

// The window title: SetupTitle for Install and Update, RemoveTitle for Remove.
StringId window_title(const Mode& mode);

}  // namespace vestrana
