#include "base/progress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "fakes/fake_clock.h"

namespace vestrana {
namespace {

using namespace std::chrono_literals;

// Polls like the window's timer does, with a generous bound so that a broken
// worker fails the test instead of hanging it.
Outcome wait_for_outcome(ProgressRecord& record) {
  for (int i = 0; i < 20000; ++i) {
    ProgressSnapshot s = take_progress(record);
    if (s.outcome.kind != Outcome::Pending) return s.outcome;
    std::this_thread::sleep_for(1ms);
  }
  ADD_FAILURE() << "no outcome arrived";
  return {};
}

bool wait_until_freed(const std::weak_ptr<ProgressRecord>& weak) {
  for (int i = 0; i < 20000 && !weak.expired(); ++i) std::this_thread::sleep_for(1ms);
  return weak.expired();
}

TEST(ProgressRecord, OutcomeIsTakenOnceWhileStepAndFractionStay) {
  ProgressRef record = create_progress_record();
  ProgressSnapshot fresh = take_progress(*record);
  EXPECT_EQ(fresh.step, Step::ClosingApp);
  EXPECT_EQ(fresh.fraction, 0.0f);
  EXPECT_EQ(fresh.outcome, Outcome{});

  report_progress(*record, Step::CopyingFiles, 0.62f);
  finish_operation(*record, Result::failure("The files could not be written (x)."));
  // The last report and the outcome arrive in the same read.
  ProgressSnapshot first = take_progress(*record);
  EXPECT_EQ(first.step, Step::CopyingFiles);
  EXPECT_EQ(first.fraction, 0.62f);
  EXPECT_EQ(first.outcome, (Outcome{Outcome::Failed, "The files could not be written (x)."}));

  ProgressSnapshot second = take_progress(*record);
  EXPECT_EQ(second.outcome, Outcome{});
  EXPECT_EQ(second.step, Step::CopyingFiles);
  EXPECT_EQ(second.fraction, 0.62f);
}

TEST(ProgressRecord, FractionIsKeptInsideTheTrack) {
  const std::pair<float, float> cases[] = {{0.0f, 0.0f},  {0.94f, 0.94f}, {1.0f, 1.0f},
                                           {-0.5f, 0.0f}, {1.5f, 1.0f},   {std::nanf(""), 0.0f}};
  ProgressRef record = create_progress_record();
  for (auto [reported, stored] : cases) {
    report_progress(*record, Step::Shortcuts, reported);
    EXPECT_EQ(take_progress(*record).fraction, stored) << reported;
  }
}

struct WaitCase {
  const char* name;
  std::chrono::nanoseconds already_elapsed;  // may be negative: start lies ahead
  std::chrono::milliseconds minimum;
  std::vector<std::chrono::nanoseconds> sleeps;
};

class WaitAtLeast : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitAtLeast, SleepsOnlyTheRemainder) {
  const auto& c = GetParam();
  FakeClock clock;
  Clock::TimePoint start = clock.now() - c.already_elapsed;
  wait_at_least(clock, start, c.minimum);
  EXPECT_EQ(clock.sleeps(), c.sleeps);
}

INSTANTIATE_TEST_SUITE_P(Pacing, WaitAtLeast,
                         ::testing::Values(WaitCase{"nothing_elapsed", 0ms, 450ms, {450ms}},
                                           WaitCase{"part_elapsed", 100ms, 450ms, {350ms}},
                                           WaitCase{"one_ns_short", 1100ms - 1ns, 1100ms, {1ns}},
                                           WaitCase{"exactly_minimum", 450ms, 450ms, {}},
                                           WaitCase{"slow_step_not_lengthened", 5000ms, 450ms, {}},
                                           WaitCase{"zero_minimum", 0ms, 0ms, {}},
                                           WaitCase{"start_in_future_waits_only_minimum", -200ms, 300ms, {300ms}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Worker, DeliversTheOutcomeOfTheProcedure) {
  const std::pair<std::function<Result()>, Outcome> cases[] = {
      {[] { return Result::success(); }, {Outcome::Succeeded, ""}},
      {[] { return Result::failure("Microsoft WebView2 could not be set up."); },
       {Outcome::Failed, "Microsoft WebView2 could not be set up."}},
      // An exception must not end the process with the window left waiting.
      {[]() -> Result { throw std::runtime_error("boom"); },
       {Outcome::Failed, "the background work stopped unexpectedly"}},
  };
  for (const auto& [procedure, outcome] : cases) {
    ProgressRef record = create_progress_record();
    start_worker(record, procedure);
    EXPECT_EQ(wait_for_outcome(*record), outcome);
  }
}

TEST(Worker, ReportsAreVisibleWhileTheProcedureRuns) {
  ProgressRef record = create_progress_record();
  std::promise<void> reported, release;
  start_worker(record, [&, release_done = release.get_future().share()] {
    report_progress(*record, Step::WebView2Setup, 0.82f);
    reported.set_value();
    release_done.wait();
    return Result::success();
  });
  reported.get_future().wait();
  ProgressSnapshot s = take_progress(*record);
  EXPECT_EQ(s.step, Step::WebView2Setup);
  EXPECT_EQ(s.fraction, 0.82f);
  EXPECT_EQ(s.outcome.kind, Outcome::Pending);
  release.set_value();
  EXPECT_EQ(wait_for_outcome(*record).kind, Outcome::Succeeded);
}

TEST(Worker, AThreadThatCannotStartFailsTheOperationAtOnce) {
  ProgressRef record = create_progress_record();
  bool ran = false;
  start_worker(
      record,
      [&] {
        ran = true;
        return Result::success();
      },
      [](std::function<void()>) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
      });
  EXPECT_FALSE(ran);
  ProgressSnapshot s = take_progress(*record);
  EXPECT_EQ(s.outcome.kind, Outcome::Failed);
  EXPECT_EQ(s.outcome.message, "the background work could not be started");
  // The reference meant for the worker is not left behind.
  EXPECT_EQ(record.use_count(), 1);
}

TEST(RecordLifetime, WindowLetsGoFirst) {
  ProgressRef record = create_progress_record();
  std::weak_ptr<ProgressRecord> weak = record;
  std::promise<void> release;
  std::atomic<bool> finished{false};
  start_worker(record, [&finished, release_done = release.get_future().share()] {
    release_done.wait();
    finished = true;
    return Result::success();
  });
  record.reset();
  // The worker's reference keeps the record alive while it runs.
  EXPECT_FALSE(weak.expired());
  release.set_value();
  EXPECT_TRUE(wait_until_freed(weak));
  EXPECT_TRUE(finished);
}

TEST(RecordLifetime, WorkerLetsGoFirst) {
  ProgressRef record = create_progress_record();
  std::weak_ptr<ProgressRecord> weak = record;
  start_worker(record, [] { return Result::success(); });
  EXPECT_EQ(wait_for_outcome(*record).kind, Outcome::Succeeded);
  // The worker drops its reference as its thread ends, shortly after the outcome.
  for (int i = 0; i < 20000 && weak.use_count() > 1; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(weak.use_count(), 1);
  record.reset();
  EXPECT_TRUE(weak.expired());
}

// Many operations with the window dropping at every possible moment; run
// under ThreadSanitizer this also checks that the record's fields are only
// touched under its lock and that the count is updated atomically.
TEST(RecordLifetime, RacingHoldersFreeEveryRecord) {
  std::vector<std::weak_ptr<ProgressRecord>> records;
  for (int i = 0; i < 200; ++i) {
    ProgressRef record = create_progress_record();
    records.push_back(record);
    start_worker(record, [worker_view = std::weak_ptr<ProgressRecord>(record)] {
      if (auto r = worker_view.lock()) {
        report_progress(*r, Step::Removing, 0.15f);
        report_progress(*r, Step::Removing, 0.90f);
      }
      return Result::success();
    });
    if (i % 2 == 0) {
      ProgressSnapshot s = take_progress(*record);
      EXPECT_TRUE(s.fraction == 0.0f || s.fraction == 0.15f || s.fraction == 0.90f);
    } else {
      wait_for_outcome(*record);
    }
  }
  for (const auto& weak : records) EXPECT_TRUE(wait_until_freed(weak));
}

}  // namespace
}  // namespace vestrana
