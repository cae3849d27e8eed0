#include "base/progress.h"

#include <thread>

namespace vestrana {
namespace {

constexpr const char* kWorkerNotStarted = "the background work could not be started";
constexpr const char* kWorkerAborted = "the background work stopped unexpectedly";

}  // namespace

std::string_view step_log_name(Step step) {
  switch (step) {
    case Step::ClosingApp: return "closing vestrana";
    case Step::CopyingFiles: return "copying files";
    case Step::WebView2Setup: return "setting up Microsoft WebView2";
    case Step::Shortcuts: return "creating shortcuts";
    case Step::Finishing: return "finishing";
    case Step::Removing: return "removing vestrana";
  }
  return "unknown step";
}

#ifdef VESTRANA_PACING_GATE
// Test builds only: holds each paced step until the test lets it go on, so
// that a test reads a progress screen that cannot move on under it.
void pass_pacing_gate();
#endif

ProgressRef create_progress_record() { return std::make_shared<ProgressRecord>(); }

void report_progress(ProgressRecord& record, Step step, float fraction) {
  if (!(fraction >= 0.0f)) fraction = 0.0f;  // also catches NaN
  if (fraction > 1.0f) fraction = 1.0f;
  std::lock_guard lock(record.mutex_);
  record.step_ = step;
  record.fraction_ = fraction;
  if (record.observer_) record.observer_(step, fraction);
}

void finish_operation(ProgressRecord& record, Result result) {
  // Build the outcome (which may allocate) before taking the lock.
  Outcome outcome;
  if (result.ok()) {
    outcome.kind = Outcome::Succeeded;
  } else {
    outcome.kind = Outcome::Failed;
    outcome.message = result.take_failure_text();
  }
  std::lock_guard lock(record.mutex_);
  record.outcome_ = std::move(outcome);
}

ProgressSnapshot take_progress(ProgressRecord& record) {
  ProgressSnapshot snapshot;
  std::lock_guard lock(record.mutex_);
  snapshot.step = record.step_;
  snapshot.fraction = record.fraction_;
  // Moving out of the message only steals its buffer: no allocation under the lock.
  snapshot.outcome.kind = record.outcome_.kind;
  snapshot.outcome.message = std::move(record.outcome_.message);
  record.outcome_.kind = Outcome::Pending;
  record.outcome_.message.clear();
  return snapshot;
}

void wait_at_least(Clock& clock, Clock::TimePoint start, std::chrono::milliseconds minimum) {
#ifdef VESTRANA_PACING_GATE
  pass_pacing_gate();
#endif
  auto elapsed = clock.now() - start;
  // A start instant in the future cannot stretch the wait beyond the minimum.
  if (elapsed < Clock::TimePoint::duration::zero()) elapsed = Clock::TimePoint::duration::zero();
  if (elapsed >= minimum) return;
  clock.sleep_for(minimum - elapsed);
}

void launch_detached_thread(std::function<void()> body) { std::thread(std::move(body)).detach(); }

void start_worker(ProgressRef record, std::function<Result()> procedure, ThreadLauncher launch) {
  // The worker's own reference travels with the thread body and is released
  // when the body is destroyed, that is when the thread ends (or at once, when
  // it never starts).
  auto body = [worker_ref = record, procedure = std::move(procedure)]() mutable {
    Result result = Result::success();
    try {
      result = procedure();
    } catch (...) {
      // An exception escaping a detached thread would end the process with
      // the window stuck on the progress screen until then; report it instead.
      result = Result::failure(kWorkerAborted);
    }
    finish_operation(*worker_ref, std::move(result));
  };
  try {
    launch(std::move(body));
  } catch (...) {
    // std::system_error when the system refuses a thread, std::bad_alloc when
    // its start-up data cannot be allocated: either way, no worker.
    finish_operation(*record, Result::failure(kWorkerNotStarted));
  }
}

}  // namespace vestrana
