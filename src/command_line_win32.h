#pragma once
// The command line of this process, read from Windows.

#include <string>

#include "command_line.h"

namespace vestrana {

// The options of this process, with a relative --dir and log file made
// absolute against the current folder.
LaunchOptions read_launch_options();

// This process's own command line, as UTF-8.
std::string own_command_line();

}  // namespace vestrana
