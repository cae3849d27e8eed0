#pragma once
// Monotonic time and sleeping, behind an interface so that the paced
// procedures can be exercised without waiting for real.

#include <chrono>

namespace vestrana {

class Clock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~Clock() = default;
  virtual TimePoint now() = 0;
  virtual void sleep_for(std::chrono::nanoseconds duration) = 0;
};

// The real monotonic clock and the calling thread's sleep.
Clock& system_clock();

}  // namespace vestrana
