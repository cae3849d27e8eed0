#include "payload/paced_step.h"

#include "base/log.h"
#include "system/platform.h"

namespace vestrana {

PacedStep::PacedStep(Platform& platform, ProgressRecord& progress, Step step, float start_fraction)
    : platform_(platform), progress_(progress), step_(step), started_(platform.clock.now()) {
  report_progress(progress_, step_, start_fraction);
  log_line(platform_.log, {"step started: ", step_log_name(step_)});
}

Result PacedStep::finish(Result result, std::chrono::milliseconds minimum, float end_fraction) {
  if (result) {
    log_line(platform_.log, {"step done: ", step_log_name(step_)});
  } else {
    log_line(platform_.log, {"step failed: ", step_log_name(step_), ": ", result.failure_text()});
  }
  wait_at_least(platform_.clock, started_, minimum);
  report_progress(progress_, step_, end_fraction);
  return result;
}

}  // namespace vestrana
