#pragma once
// The setup's window: created for an interactive run, it shows the screens
// and runs the message loop until it is closed.

#include "setup_flow.h"

namespace vestrana {

// Returns the exit code: 0 when the loop ends, 1 when the window cannot be created.
int run_setup_window(const InteractiveStart& start);

}  // namespace vestrana
