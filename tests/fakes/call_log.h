#pragma once
// The calls the fakes of one machine received, in the order they came, one
// line each ("files: delete C:\a\b", "processes: terminate 5"), for tests
// where the order across interfaces matters. Every call also costs time on
// the machine's clock, as a real system call does, so that a procedure's
// pacing is checked against work that takes time.

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "fakes/fake_clock.h"

namespace vestrana {

class CallLog {
 public:
  explicit CallLog(FakeClock& clock) : clock_(clock) {}

  // What one call costs from now on; nothing at first.
  void set_cost(std::chrono::nanoseconds cost) {
    std::lock_guard lock(mutex_);
    cost_ = cost;
  }

  void add(std::string_view who, std::string_view what) {
    std::lock_guard lock(mutex_);
    lines_.push_back(std::string(who) + ": " + std::string(what));
    clock_.advance(cost_);
  }

  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  FakeClock& clock_;
  mutable std::mutex mutex_;
  std::chrono::nanoseconds cost_{0};
  std::vector<std::string> lines_;
};

}  // namespace vestrana
