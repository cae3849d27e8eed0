// When a failed file operation may be tried again: only for the codes a
// passing hold by another process gives, and only until the limit has passed
// since the first of them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_clock.h"
#include "system/file_system.h"

namespace vestrana {
namespace {

using namespace std::chrono_literals;

struct Attempt {
  std::chrono::milliseconds work;  // time spent before the attempt fails
  uint32_t code;
  bool again;
};

struct Case {
  const char* name;
  std::vector<Attempt> attempts;
};

TEST(HoldRetry, RetriesOnlyHoldsAndOnlyUntilTheLimit) {
  const Case cases[] = {
      {"a hold: access denied, sharing or lock violation", {{0ms, 5, true}, {0ms, 32, true}, {0ms, 33, true}}},
      {"anything else fails at once",
       {{0ms, 2, false}, {0ms, 3, false}, {0ms, 112, false}, {0ms, 145, false}, {0ms, 183, false}}},
      // The limit counts from the first hold, not from when the operation began.
      {"the clock starts at the first hold", {{5000ms, 32, true}, {2900ms, 32, false}}},
      {"just inside the limit", {{0ms, 32, true}, {2899ms, 32, true}, {0ms, 32, false}}},
      {"another error first does not start the clock", {{0ms, 2, false}, {2900ms, 32, true}, {2899ms, 32, true}}},
      {"work between attempts counts", {{0ms, 5, true}, {1500ms, 5, true}, {1300ms, 5, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeClock clock;
    HoldRetry retry(clock);
    size_t pauses = 0;
    for (const Attempt& attempt : c.attempts) {
      clock.advance(attempt.work);
      EXPECT_EQ(retry.again(OsError{"", attempt.code}), attempt.again) << attempt.code;
      if (attempt.again) ++pauses;
    }
    EXPECT_EQ(clock.sleeps(), std::vector<std::chrono::nanoseconds>(pauses, 100ms));
  }
}

TEST(HoldRetry, AHoldThatNeverEndsIsGivenUpAfterTheLimit) {
  FakeClock clock;
  HoldRetry retry(clock);
  int pauses = 0;
  while (retry.again(OsError{"", 32}) && pauses < 1000) ++pauses;
  EXPECT_EQ(pauses, 30);
}

}  // namespace
}  // namespace vestrana
