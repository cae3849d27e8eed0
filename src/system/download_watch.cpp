#include "system/download_watch.h"

#include <algorithm>

namespace vestrana {

DownloadWatch::DownloadWatch(Clock& clock, DownloadLimits limits)
    : clock_(clock), limits_(limits), started_(clock.now()), last_data_(started_) {}

void DownloadWatch::received(uint64_t bytes_so_far) {
  if (expired_ || bytes_so_far <= bytes_) return;
  bytes_ = bytes_so_far;
  last_data_ = clock_.now();
}

bool DownloadWatch::expired() { return time_left() == std::chrono::milliseconds::zero(); }

std::chrono::milliseconds DownloadWatch::time_left() {
  if (expired_) return std::chrono::milliseconds::zero();
  Clock::TimePoint now = clock_.now();
  Clock::TimePoint deadline = std::min(last_data_ + limits_.stall, started_ + limits_.total);
  if (now >= deadline) {
    expired_ = true;
    return std::chrono::milliseconds::zero();
  }
  // Rounded up, so that a wait of that length really reaches the deadline.
  return std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
}

}  // namespace vestrana
