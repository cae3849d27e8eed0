#include "system/download_watch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "fakes/fake_clock.h"

namespace vestrana {
namespace {

using std::chrono::milliseconds;
using std::chrono::minutes;
using std::chrono::seconds;

constexpr DownloadLimits kLimits{seconds(60), minutes(15)};

// A download's life: time passes, data arrives (bytes so far), and after
// each step the watch is asked how long it may still wait.
struct Step {
  std::chrono::nanoseconds passes;
  uint64_t bytes_so_far;  // reported after the time has passed
  milliseconds time_left;
};

struct WatchCase {
  const char* name;
  std::vector<Step> steps;
};

class DownloadWatchRule : public ::testing::TestWithParam<WatchCase> {};

TEST_P(DownloadWatchRule, GivesUpAfterAStallOrWhenTooLongInAll) {
  FakeClock clock;
  DownloadWatch watch(clock, kLimits);
  for (size_t i = 0; i < GetParam().steps.size(); ++i) {
    const Step& step = GetParam().steps[i];
    SCOPED_TRACE("step " + std::to_string(i));
    clock.advance(step.passes);
    watch.received(step.bytes_so_far);
    EXPECT_EQ(watch.time_left(), step.time_left);
    EXPECT_EQ(watch.expired(), step.time_left == milliseconds::zero());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DownloadWatchRule,
    ::testing::Values(
        WatchCase{"silent_server",
                  {{seconds(0), 0, seconds(60)}, {seconds(59), 0, seconds(1)}, {seconds(1), 0, milliseconds(0)}}},
        // Data pushes the stall deadline out, measured from its arrival.
        WatchCase{
            "data_resets_the_stall",
            {{seconds(50), 4096, seconds(60)}, {seconds(50), 4096, seconds(10)}, {seconds(10), 4096, milliseconds(0)}}},
        // The same count again is no data.
        WatchCase{"repeated_count_is_no_data",
                  {{seconds(30), 10, seconds(60)}, {seconds(40), 10, seconds(20)}, {seconds(20), 10, milliseconds(0)}}},
        // A trickle keeps the stall away, but not for longer than 15 minutes in all.
        WatchCase{"trickle_hits_the_total",
                  {{minutes(14), 1, seconds(60)},
                   {seconds(30), 2, seconds(30)},
                   {seconds(29), 3, seconds(1)},
                   {seconds(1), 4, milliseconds(0)}}},
        // Waits are rounded up, so a wait of time_left never ends short of the deadline.
        WatchCase{"rounded_up", {{milliseconds(59999) + std::chrono::microseconds(500), 0, milliseconds(1)}}},
        // Once expired it stays so, data or not.
        WatchCase{"expired_stays_expired", {{seconds(61), 0, milliseconds(0)}, {seconds(0), 100, milliseconds(0)}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vestrana
