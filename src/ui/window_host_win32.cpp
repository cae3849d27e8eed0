#include "ui/window_host.h"

namespace vestrana {

// The interactive window arrives with the screens; until then an interactive
// run ends as if its window could not be created.
int run_setup_window(const InteractiveStart&) { return 1; }

}  // namespace vestrana
