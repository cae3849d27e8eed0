#pragma once
// The pacing the install and the removal give each of their steps: the
// step's start and end are reported as progress fractions, it lasts at least
// a minimum so that a fast machine still shows what happens, and the admin
// log gets its start and its result.

#include <chrono>

#include "base/clock.h"
#include "base/progress.h"

namespace vestrana {

struct Platform;

class PacedStep {
 public:
  // Reports `start_fraction` and logs the start.
  PacedStep(Platform& platform, ProgressRecord& progress, Step step, float start_fraction);
  // Logs `result` (a failure with its whole text), waits out `minimum` since
  // the start and reports `end_fraction`, whatever the result; passes it on.
  Result finish(Result result, std::chrono::milliseconds minimum, float end_fraction);

 private:
  Platform& platform_;
  ProgressRecord& progress_;
  Step step_;
  Clock::TimePoint started_;
};

}  // namespace vestrana
