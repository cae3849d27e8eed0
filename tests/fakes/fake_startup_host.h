#pragma once
// The parts of start-up that only the real program has: the user's language,
// the account, the single-instance lock, the packed app and the window.

#include <optional>
#include <vector>

#include "fakes/test_archive.h"
#include "setup_flow.h"

namespace vestrana::testing {

class FakeStartupHost : public StartupHost {
 public:
  LanguageCode language = language_for_langid(0x0409);
  bool local_system = false;
  Lock lock = Lock::Acquired;
  int lock_requests = 0;
  int brought_forward = 0;
  std::vector<uint8_t> archive = ::vestrana::testing::packed_app({{"vestrana.exe", "APP"}});
  std::optional<InteractiveStart> window;
  int window_exit = 0;

  LanguageCode user_language() override { return language; }
  bool runs_as_local_system() override { return local_system; }
  Lock take_instance_lock() override {
    ++lock_requests;
    return lock;
  }
  // Another setup holds the lock (what the cleanup helper asks).
  bool other_setup = false;
  bool setup_running() override { return other_setup; }
  void bring_running_setup_forward() override { ++brought_forward; }
  std::span<const uint8_t> packed_app() override { return archive; }
  int run_window(const InteractiveStart& start) override {
    window = start;
    return window_exit;
  }
};

}  // namespace vestrana::testing
