#pragma once
// When the window's next frame is due. A USER timer fires on the system
// tick, 15.625 ms by default, so a 16 ms SetTimer delivers every second
// tick, about every 31 ms; the window instead wakes on a high-resolution
// timer (or, without one, on a short USER timer) and asks this rule what is
// due, so frames come every 16 ms whatever clock wakes it.

#include <chrono>

#include "base/clock.h"

namespace vestrana {

// What one wake-up of the window does: `tick` advances the screen state
// (clock, the worker's progress, screen changes), `paint` paints the next
// frame. A minimized window ticks but does not paint.
struct FrameWork {
  bool tick = false;
  bool paint = false;
  bool operator==(const FrameWork&) const = default;
};

class FramePacer {
 public:
  // Sixteen milliseconds: about sixty frames a second.
  static constexpr std::chrono::microseconds kInterval{16000};
  // A wake-up this close before the due time counts as on time: timers may
  // fire a little early, and waiting again for a fraction of a millisecond
  // would cost a wake-up and gain nothing.
  static constexpr std::chrono::microseconds kEarlySlack{1000};

  // The first frame is due one interval after `start`.
  explicit FramePacer(Clock::TimePoint start) : due_(start + kInterval) {}

  // What is due on waking at `now`: nothing before the due time; at or after
  // it a tick, and a paint unless `minimized`. The next frame is then due
  // one interval after this one was due, or one interval after `now` when a
  // whole interval or more was missed (a stalled or suspended window), so a
  // stall is followed by no burst of catch-up frames.
  FrameWork wake(Clock::TimePoint now, bool minimized);

  // How long to wait from `now` until the next frame is due; zero when it
  // is due already.
  std::chrono::nanoseconds wait(Clock::TimePoint now) const;

  Clock::TimePoint due() const { return due_; }

 private:
  Clock::TimePoint due_;
};

}  // namespace vestrana
