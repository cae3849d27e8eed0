#pragma once
// A clock that only moves when told to: now() stays put until a test calls
// advance() or a procedure calls sleep_for(), which moves time forward by the
// requested amount at once and records it. Safe to share with a worker thread.

#include <chrono>
#include <mutex>
#include <vector>

#include "base/clock.h"

namespace vestrana {

class FakeClock final : public Clock {
 public:
  // Starts at an arbitrary, fixed instant well away from the epoch, so that
  // "start minus something" is still a valid time point.
  FakeClock() : now_(TimePoint(std::chrono::hours(1000))) {}

  TimePoint now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }

  void sleep_for(std::chrono::nanoseconds duration) override {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(duration);
    if (duration > std::chrono::nanoseconds::zero()) now_ += duration;
  }

  // Time passing without a sleep (work being done).
  void advance(std::chrono::nanoseconds duration) {
    std::lock_guard lock(mutex_);
    now_ += duration;
  }

  std::vector<std::chrono::nanoseconds> sleeps() const {
    std::lock_guard lock(mutex_);
    return sleeps_;
  }

 private:
  mutable std::mutex mutex_;
  TimePoint now_;
  std::vector<std::chrono::nanoseconds> sleeps_;
};

}  // namespace vestrana
