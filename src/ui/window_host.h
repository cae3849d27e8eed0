#pragma once
// The setup's window: created for an interactive run, it shows the screens
// and runs the message loop until it is closed.

#include <cstdint>
#include <span>

#include "ui/interactive_start.h"
#include "system/platform.h"

namespace vestrana {

// Returns the exit code: 0 when the loop ends, 1 when the window cannot be created.
int run_setup_window(const InteractiveStart& start, Platform& platform, std::span<const uint8_t> packed_app);

}  // namespace vestrana
