#pragma once
// When a download has to be given up: after a stretch without any new data,
// or when it has taken too long altogether. The Windows download asks it on
// every progress report and before every wait for the next one.

#include <chrono>
#include <cstdint>

#include "base/clock.h"
#include "system/downloader.h"

namespace vestrana {

class DownloadWatch {
 public:
  DownloadWatch(Clock& clock, DownloadLimits limits);

  // The bytes received so far; only a growing count is news.
  void received(uint64_t bytes_so_far);
  bool expired();
  // How long the download may still wait for its next data before it
  // expires (zero once it has; a download given up stays given up, even if
  // data still trickles in while it is being cancelled).
  std::chrono::milliseconds time_left();

 private:
  Clock& clock_;
  DownloadLimits limits_;
  Clock::TimePoint started_;
  Clock::TimePoint last_data_;
  uint64_t bytes_ = 0;
  bool expired_ = false;
};

}  // namespace vestrana
