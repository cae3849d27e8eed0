#pragma once
// The program's run from command line to exit code: the first stage of a
// removal, the single-instance rule, the silent procedures or the window,
// and the self-removal of a temporary uninstaller copy.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "system/platform.h"
#include "ui/interactive_start.h"
#include "ui/strings.h"

namespace vestrana {

// The parts of start-up that only exist in the real program.
class StartupHost {
 public:
  enum class Lock { Acquired, AlreadyRunning, Unavailable };
  virtual ~StartupHost() = default;
  virtual LanguageCode user_language() = 0;
  // True when this process runs as the LocalSystem account (its token's user
  // is S-1-5-18), as it does when a deployment tool or a service starts it.
  virtual bool runs_as_local_system() = 0;
  // Creates the named mutex "Local\vestrana-setup", owned, kept until exit.
  virtual Lock take_instance_lock() = 0;
  // Whether that mutex exists (another setup runs), without taking it.
  virtual bool setup_running() = 0;
  // Restores and brings forward the window of the setup that holds the lock.
  virtual void bring_running_setup_forward() = 0;
  virtual std::span<const uint8_t> packed_app() = 0;
  // Creates the window and runs its loop; 1 when it cannot be created.
  virtual int run_window(const InteractiveStart& start) = 0;
};

int run_setup(const LaunchOptions& options, Platform& platform, StartupHost& host);

// run_setup between the admin log's first line (the version and
// `command_line`) and its last ("exit code 0").
int run_logged_setup(std::string_view command_line, const LaunchOptions& options, Platform& platform,
                     StartupHost& host);

// What creating the single-instance mutex says, from whether a handle came
// back and the last error afterwards. ERROR_ALREADY_EXISTS (183) with a
// handle: another setup holds it. ERROR_ACCESS_DENIED (5) without one: a
// mutex of that name exists but its security admits no one below its
// owner's rights, as when an elevated setup made it; another setup runs all
// the same (CreateMutexW's documentation). Any other failure: no lock, the
// run goes on.
StartupHost::Lock instance_lock_from(bool created, uint32_t last_error);

}  // namespace vestrana
