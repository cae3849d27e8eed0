#pragma once
// The record that carries a running operation's progress from the worker
// thread to the window thread. It is not a queue: the worker overwrites the
// current step and fraction, stores the outcome once at the end, and the
// window thread polls it on every timer tick. One mutex guards all of it and
// is held only for a few loads or stores, never together with another lock.
// The record is shared by reference counting between the window's state and
// the worker; whichever lets go last frees it.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "base/result.h"

namespace vestrana {

enum class Step : uint8_t {
  ClosingApp = 0,
  CopyingFiles = 1,
  WebView2Setup = 2,
  Shortcuts = 3,
  Finishing = 4,
  Removing = 5,
};

// The step's name in the admin log, in English whatever the run's language:
// "copying files".
std::string_view step_log_name(Step step);

struct Outcome {
  enum Kind : uint8_t { Pending, Succeeded, Failed };
  Kind kind = Pending;
  std::string message;  // only for Failed: the text the error screen shows

  bool operator==(const Outcome&) const = default;
};

// What one window-thread read sees.
struct ProgressSnapshot {
  Step step = Step::ClosingApp;
  float fraction = 0.0f;
  Outcome outcome;
};

class ProgressRecord {
 public:
  ProgressRecord() = default;
  ProgressRecord(const ProgressRecord&) = delete;
  ProgressRecord& operator=(const ProgressRecord&) = delete;

  // Sees every report in order, under the record's lock. The record keeps only
  // the latest report; an observer set before the procedure starts can keep
  // the whole sequence.
  using ReportObserver = std::function<void(Step, float)>;
  void observe_reports(ReportObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
  }

 private:
  friend void report_progress(ProgressRecord&, Step, float);
  friend void finish_operation(ProgressRecord&, Result);
  friend ProgressSnapshot take_progress(ProgressRecord&);

  std::mutex mutex_;
  float fraction_ = 0.0f;
  Step step_ = Step::ClosingApp;
  Outcome outcome_;
  ReportObserver observer_;
};

using ProgressRef = std::shared_ptr<ProgressRecord>;

// A fresh record: fraction 0, step ClosingApp, outcome Pending.
ProgressRef create_progress_record();

// Stores the current step and fraction (clamped to 0..1; a NaN counts as 0,
// so the bar can never be drawn outside its track).
void report_progress(ProgressRecord& record, Step step, float fraction);

// Stores the procedure's result as the outcome: Succeeded, or Failed with
// the failure text.
void finish_operation(ProgressRecord& record, Result result);

// The window thread's read: copies step and fraction and takes the outcome,
// leaving Pending behind, so each outcome is seen exactly once.
ProgressSnapshot take_progress(ProgressRecord& record);

// Paces a step: sleeps for whatever is left of `minimum` since `start`, and
// not at all when the step already took that long.
void wait_at_least(Clock& clock, Clock::TimePoint start, std::chrono::milliseconds minimum);

// Starts `body` on a new detached thread; throws (std::system_error, as
// std::thread does) when the system cannot start one.
using ThreadLauncher = void (*)(std::function<void()> body);
void launch_detached_thread(std::function<void()> body);

// Runs `procedure` on a detached worker thread, then stores its result in the
// record; the worker's reference is released when the thread ends. The
// window has already switched to the progress screen, which only an outcome
// can leave, so a thread that cannot be started (or a procedure that throws)
// still delivers a Failed outcome instead of leaving the screen stuck.
void start_worker(ProgressRef record, std::function<Result()> procedure,
                  ThreadLauncher launch = launch_detached_thread);

}  // namespace vestrana
