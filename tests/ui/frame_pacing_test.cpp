// What is due when the window wakes, on the clocks it meets on Windows: the
// high-resolution timer that wakes it at the due time, and the system tick
// of 15.625 ms that a USER timer is rounded up to.
#include "ui/frame_pacing.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestrana {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr Clock::TimePoint kStart{std::chrono::seconds(100)};

TEST(FramePacer, DecidesByTheDueTimeAndSkipsPaintingWhileMinimized) {
  struct Case {
    microseconds at;  // the wake-up, from the start
    bool minimized;
    FrameWork work;
    microseconds next_due;  // from the start
  };
  const Case cases[] = {
      {microseconds(0), false, {false, false}, microseconds(16000)},  // too early
      {microseconds(14999), false, {false, false}, microseconds(16000)},  // just outside the slack
      {microseconds(15000), false, {true, true}, microseconds(32000)},  // early within the slack
      {microseconds(16000), true, {true, false}, microseconds(32000)},  // minimized: no paint
      {microseconds(31250), false, {true, true}, microseconds(32000)},  // late by less than a frame
      {microseconds(32000), false, {true, true}, microseconds(48000)},  // exactly one interval late
      {microseconds(500000), false, {true, true}, microseconds(516000)},  // a stall: no catch-up
  };
  for (const Case& c : cases) {
    FramePacer pacer(kStart);
    EXPECT_EQ(pacer.wake(kStart + c.at, c.minimized), c.work) << c.at.count();
    EXPECT_EQ(pacer.due(), kStart + c.next_due) << c.at.count();
  }
}

TEST(FramePacer, WaitsUntilTheDueTimeAndNotAfterIt) {
  FramePacer pacer(kStart);
  EXPECT_EQ(pacer.wait(kStart), milliseconds(16));
  EXPECT_EQ(pacer.wait(kStart + microseconds(15500)), microseconds(500));
  EXPECT_EQ(pacer.wait(kStart + milliseconds(40)), std::chrono::nanoseconds::zero());
}

// Intervals between the ticks over one second when the window is woken at
// each of `wakes`.
template <typename NextWake>
std::vector<microseconds> tick_intervals(NextWake next_wake) {
  FramePacer pacer(kStart);
  std::vector<microseconds> intervals;
  Clock::TimePoint now = kStart, last = kStart;
  while (now < kStart + std::chrono::seconds(1)) {
    now = next_wake(now, pacer);
    if (pacer.wake(now, false).tick) {
      intervals.push_back(std::chrono::duration_cast<microseconds>(now - last));
      last = now;
    }
  }
  return intervals;
}

TEST(FramePacer, GivesSixtyFramesASecondOnTheSystemTick) {
  // A USER timer shorter than the system tick fires on every tick.
  const auto system_tick = microseconds(15625);
  const std::vector<microseconds> intervals =
      tick_intervals([&](Clock::TimePoint now, const FramePacer&) { return now + system_tick; });
  EXPECT_GE(intervals.size(), 60u);
  EXPECT_LE(intervals.size(), 64u);
  for (microseconds interval : intervals) EXPECT_LE(interval, 2 * system_tick);
}

TEST(FramePacer, KeepsTheIntervalWithATimerThatFiresLate) {
  // A high-resolution timer set to the wait, firing 700 us late each time:
  // the lateness does not add up from frame to frame.
  const std::vector<microseconds> intervals = tick_intervals(
      [](Clock::TimePoint now, const FramePacer& pacer) { return now + pacer.wait(now) + microseconds(700); });
  ASSERT_EQ(intervals.size(), 63u);  // 16.7 ms to 1008.7 ms
  for (size_t i = 1; i < intervals.size(); ++i) EXPECT_EQ(intervals[i], milliseconds(16)) << i;
}

}  // namespace
}  // namespace vestrana
