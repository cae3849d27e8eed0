#pragma once
// The command line of this process, read from Windows.

#include "command_line.h"

namespace vestrana {

// The options of this process, with a relative --dir
// made absolute against the current folder.
LaunchOptions read_launch_options();

}  // namespace vestrana
