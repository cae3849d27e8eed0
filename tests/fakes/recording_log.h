#pragma once
// A log that keeps every event in memory, without time stamps, for tests of
// what the procedures report. Safe to share with a worker thread.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/log.h"

namespace vestrana::testing {

class RecordingLog final : public Log {
 public:
  void write(std::string_view event) override {
    std::lock_guard lock(mutex_);
    events_.emplace_back(event);
  }
  std::vector<std::string> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
};

}  // namespace vestrana::testing
