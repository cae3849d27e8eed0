#include "base/clock.h"

#include <thread>

namespace vestrana {
namespace {

class SteadyClock final : public Clock {
 public:
  TimePoint now() override { return std::chrono::steady_clock::now(); }
  void sleep_for(std::chrono::nanoseconds duration) override { std::this_thread::sleep_for(duration); }
};

}  // namespace

Clock& system_clock() {
  static SteadyClock clock;
  return clock;
}

}  // namespace vestrana
