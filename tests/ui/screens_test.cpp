#include "ui/screens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "setup_flow.h"
#include "payload/uninstall.h"
#include "ui/state_machine_window.h"
#include "ui/ui_test_names.h"

namespace vestrana {
namespace {

using namespace ui_test_names;
using namespace state_machine_window;

using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(InitialState, StartsOnWelcomeWithSettledToggles) {
  InteractiveStart start{Mode::update("1.0.4"), {false, true}, "vestrana Setup", true,
                         "D:\\Apps\\vestrana",  &english()};
  UiState state = make_initial_state(start, load_fonts(), kStart);

  EXPECT_EQ(state.screen, Screen::welcome());
  EXPECT_EQ(state.mode, Mode::update("1.0.4"));
  EXPECT_EQ(state.options, (std::vector<bool>{false, true}));
  // Already at their ends: nothing slides on the first frame.
  EXPECT_EQ(state.option_anim, (std::vector<float>{0.0f, 1.0f}));
  EXPECT_EQ(state.strings, &english());
  EXPECT_EQ(state.target_dir, "D:\\Apps\\vestrana");
  EXPECT_TRUE(state.dark);
  EXPECT_EQ(state.last_tick, kStart);
}

struct ActionCase {
  const char* name;
  Mode mode;
  Screen screen;
  ElementRef element;
  Calls effects;
  bool starts_operation;
  Screen::Kind screen_after;
};

class ActionTable : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionTable, DoesWhatTheRowSays) {
  const ActionCase& c = GetParam();
  Window w(c.mode, c.screen);

  w.act(c.element);

  EXPECT_EQ(w.effects.calls, c.effects);
  EXPECT_EQ(w.runner.started.size(), c.starts_operation ? 1u : 0u);
  EXPECT_EQ(w.state.screen.kind, c.screen_after);
}

const ActionCase kActions[] = {
    {"minimize_welcome", kInstall, kWelcome, kMinimize, Calls{"minimize"}, false, Screen::Welcome},
    {"minimize_progress", kInstall, kProgress, kMinimize, Calls{"minimize"}, false, Screen::Progress},
    // Close is only posted; the close request itself is judged by close_allowed.
    {"close_welcome", kInstall, kWelcome, kClose, Calls{"close"}, false, Screen::Welcome},
    {"close_progress_posts", kRemove, kProgress, kClose, Calls{"close"}, false, Screen::Progress},
    {"close_error", kInstall, kError, kClose, Calls{"close"}, false, Screen::Error},
    {"primary_welcome_install", kInstall, kWelcome, kPrimary, Calls{}, true, Screen::Progress},
    {"primary_welcome_update", kUpdate, kWelcome, kPrimary, Calls{}, true, Screen::Progress},
    {"primary_welcome_remove", kRemove, kWelcome, kPrimary, Calls{}, true, Screen::Progress},
    {"primary_error_retries", kInstall, kError, kPrimary, Calls{}, true, Screen::Progress},
    {"primary_progress_nothing", kInstall, kProgress, kPrimary, Calls{}, false, Screen::Progress},
    {"primary_done_remove_closes", kRemove, kDone, kPrimary, Calls{"close"}, false, Screen::Done},
    {"primary_done_install_opens", kInstall, kDone, kPrimary, Calls{"launch", "close"}, false, Screen::Done},
    {"primary_done_update_opens", kUpdate, kDone, kPrimary, Calls{"launch", "close"}, false, Screen::Done},
    {"secondary_done_only_closes", kInstall, kDone, kSecondary, Calls{"close"}, false, Screen::Done},
    {"secondary_error", kUpdate, kError, kSecondary, Calls{"close"}, false, Screen::Error},
    {"nothing", kInstall, kWelcome, kNothing, Calls{}, false, Screen::Welcome},
};
INSTANTIATE_TEST_SUITE_P(Screens, ActionTable, ::testing::ValuesIn(kActions), kByName);

struct ToggleCase {
  const char* name;
  Mode mode;
  std::vector<bool> options;
  std::vector<uint32_t> clicks;
  std::vector<bool> expected;
};

class Toggles : public ::testing::TestWithParam<ToggleCase> {};

TEST_P(Toggles, FlipOnlyExistingOptions) {
  const ToggleCase& c = GetParam();
  Window w(make_state(c.mode, c.options));
  for (uint32_t index : c.clicks) w.act({HitKind::Toggle, index});
  EXPECT_EQ(w.state.options, c.expected);
  EXPECT_EQ(w.state.screen, Screen::welcome());
  EXPECT_TRUE(w.effects.calls.empty());
  EXPECT_TRUE(w.runner.started.empty());
}

const ToggleCase kToggles[] = {
    {"first", kInstall, {true, false}, {0}, {false, false}},
    {"second", kUpdate, {true, false}, {1}, {true, true}},
    {"twice_restores", kInstall, {true, false}, {1, 1}, {true, false}},
    {"past_the_end", kInstall, {true, false}, {2}, {true, false}},
    {"huge_index", kInstall, {true, false}, {0xFFFFFFFFu}, {true, false}},
    {"remove_delete_data", kRemove, {false}, {0}, {true}},
    {"remove_has_one_option", kRemove, {false}, {1}, {false}},
};
INSTANTIATE_TEST_SUITE_P(Screens, Toggles, ::testing::ValuesIn(kToggles), kByName);

struct RequestCase {
  const char* name;
  Mode mode;
  std::vector<bool> options;
  InstallChoices install;
  bool delete_user_data;
};

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, CarryTheOptionsWithDefaultsForMissingOnes) {
  const RequestCase& c = GetParam();
  OperationRequest request = operation_request(make_state(c.mode, c.options));
  EXPECT_EQ(request.mode, c.mode.kind);
  EXPECT_EQ(request.install.desktop_shortcut, c.install.desktop_shortcut);
  EXPECT_EQ(request.install.autostart, c.install.autostart);
  EXPECT_EQ(request.delete_user_data, c.delete_user_data);
  EXPECT_EQ(request.strings, &english());
  if (c.mode.kind == Mode::Remove) {
    EXPECT_EQ(request.target_dir, "D:\\Apps\\vestrana");
  }
}

const RequestCase kRequests[] = {
    {"install_as_set", kInstall, {false, true}, {false, true}, false},
    {"update_as_set", kUpdate, {true, true}, {true, true}, false},
    {"install_no_options", kInstall, {}, {true, false}, false},
    {"install_one_option", kInstall, {false}, {false, false}, false},
    {"remove_delete", kRemove, {true}, {true, false}, true},
    {"remove_keep", kRemove, {false}, {true, false}, false},
    {"remove_no_options", kRemove, {}, {true, false}, false},
};
INSTANTIATE_TEST_SUITE_P(Screens, Requests, ::testing::ValuesIn(kRequests), kByName);

TEST(StartOperation, SharesAFreshRecordWithTheWorker) {
  UiState state = install_state();
  state.clock = 2.5f;
  state.hover = kPrimary;
  state.pressed = kPrimary;
  FakeRunner runner;

  start_operation(state, runner);

  ASSERT_EQ(runner.started.size(), 1u);
  ASSERT_NE(state.progress, nullptr);
  EXPECT_EQ(runner.started[0].record, state.progress);
  EXPECT_EQ(state.progress.use_count(), 2);  // the window and the worker, nobody else
  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_EQ(state.screen_since, 2.5f);
  EXPECT_TRUE(state.hover.is_nothing());
  EXPECT_TRUE(state.pressed.is_nothing());
}

TEST(TryAgain, RestartsTheBarWithTheEarlierOptionsAndANewRecord) {
  Window w(make_state(kInstall, {false, true}));
  UiState& state = w.state;
  w.act(kPrimary);
  ProgressRef first = w.runner.started.at(0).record;

  report_progress(*first, Step::CopyingFiles, 0.62f);
  on_tick(state, kStart + milliseconds(16));
  finish_operation(*first, Result::failure("The files could not be written: disk full."));
  on_tick(state, kStart + milliseconds(32));
  ASSERT_EQ(state.screen, Screen::error("The files could not be written: disk full."));
  // The bar stays where the failure left it.
  EXPECT_EQ(state.progress_target, 0.62f);
  EXPECT_GT(state.progress_shown, 0.0f);

  w.act(kPrimary);

  ASSERT_EQ(w.runner.started.size(), 2u);
  const FakeRunner::Started& second = w.runner.started[1];
  EXPECT_NE(second.record, first);
  EXPECT_EQ(state.progress, second.record);
  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_EQ(state.progress_target, 0.0f);
  EXPECT_EQ(state.progress_shown, 0.0f);
  EXPECT_FALSE(second.request.install.desktop_shortcut);
  EXPECT_TRUE(second.request.install.autostart);
  EXPECT_TRUE(w.effects.calls.empty());
}

struct OutcomeCase {
  const char* name;
  Result result;
  Screen expected;
};

class TickOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(TickOutcome, IsTakenOnceAndTheRecordLetGo) {
  UiState state = make_state(kRemove, {false});
  FakeRunner runner;
  start_operation(state, runner);
  ProgressRef worker = std::move(runner.started.at(0).record);
  std::weak_ptr<ProgressRecord> watch = worker;
  state.clock = 1.0f;

  // Ends between two ticks: the last fraction and the outcome arrive together.
  report_progress(*worker, Step::Finishing, 1.0f);
  finish_operation(*worker, Result(GetParam().result));
  on_tick(state, kStart + milliseconds(16));

  EXPECT_EQ(state.screen, GetParam().expected);
  EXPECT_EQ(state.progress, nullptr);
  EXPECT_EQ(state.step, Step::Finishing);
  EXPECT_EQ(state.progress_target, 1.0f);
  // The screen changed at the clock before this tick advanced it.
  EXPECT_EQ(state.screen_since, 1.0f);
  EXPECT_EQ(take_progress(*worker).outcome.kind, Outcome::Pending);
  EXPECT_EQ(worker.use_count(), 1);
  worker.reset();
  EXPECT_TRUE(watch.expired());

  // Later ticks leave the result alone.
  on_tick(state, kStart + milliseconds(32));
  EXPECT_EQ(state.screen, GetParam().expected);
}

const OutcomeCase kOutcomes[] = {
    {"success", Result::success(), Screen::done()},
    {"failure", Result::failure("the packed app is damaged (x)"), Screen::error("the packed app is damaged (x)")},
};
INSTANTIATE_TEST_SUITE_P(Screens, TickOutcome, ::testing::ValuesIn(kOutcomes), kByName);

TEST(Tick, CopiesProgressWhileTheWorkerRuns) {
  UiState state = install_state();
  FakeRunner runner;
  start_operation(state, runner);
  report_progress(*runner.started.at(0).record, Step::WebView2Setup, 0.82f);

  on_tick(state, kStart + milliseconds(16));

  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_NE(state.progress, nullptr);
  EXPECT_EQ(state.step, Step::WebView2Setup);
  EXPECT_EQ(state.progress_target, 0.82f);
}

// An install window (options {on, off}, anim {1, 0}) whose bar heads for the
// end and whose second toggle has just been switched on.
UiState easing_state() {
  UiState state = install_state();
  state.progress_target = 1.0f;
  state.options[1] = true;
  return state;
}

TEST(Tick, EasesBarAndTogglesAtTheirRates) {
  UiState state = easing_state();

  on_tick(state, kStart + milliseconds(16));

  EXPECT_NEAR(state.clock, 0.016f, 1e-6f);
  EXPECT_NEAR(state.progress_shown, 0.112f, 1e-5f);
  EXPECT_NEAR(state.option_anim[1], 0.224f, 1e-5f);
  EXPECT_EQ(state.option_anim[0], 1.0f);
  EXPECT_EQ(state.last_tick, kStart + milliseconds(16));

  // The remaining distance shrinks by the same share on the next tick.
  on_tick(state, kStart + milliseconds(32));
  EXPECT_NEAR(state.progress_shown, 0.112f + 0.888f * 0.112f, 1e-5f);
}

TEST(Tick, CapsALongGapAtATenthOfASecond) {
  UiState state = easing_state();

  on_tick(state, kStart + seconds(5));

  EXPECT_NEAR(state.clock, 0.1f, 1e-6f);
  EXPECT_NEAR(state.progress_shown, 0.7f, 1e-5f);
  // 14 x 0.1 exceeds 1: the toggle lands on its end and no further.
  EXPECT_EQ(state.option_anim[1], 1.0f);
  EXPECT_EQ(state.last_tick, kStart + seconds(5));
}

TEST(Tick, AClockGoingBackwardsCountsAsNoTime) {
  UiState state = easing_state();
  state.clock = 3.0f;
  state.progress_shown = 0.5f;
  state.options[0] = false;

  on_tick(state, kStart - milliseconds(40));

  EXPECT_EQ(state.clock, 3.0f);
  EXPECT_EQ(state.progress_shown, 0.5f);
  EXPECT_EQ(state.option_anim[0], 1.0f);
  // The earlier reading becomes the reference, so the next tick is not long.
  EXPECT_EQ(state.last_tick, kStart - milliseconds(40));
  on_tick(state, kStart - milliseconds(24));
  EXPECT_NEAR(state.clock, 3.016f, 1e-5f);
}

TEST(Tick, ToggleReversedMidwayTurnsBackWithoutAJump) {
  Window w(install_state());
  w.act(kToggle1);
  Clock::TimePoint now = kStart;
  for (int i = 0; i < 3; ++i) on_tick(w.state, now += milliseconds(16));
  float midway = w.state.option_anim[1];
  ASSERT_GT(midway, 0.4f);
  ASSERT_LT(midway, 0.6f);

  w.act(kToggle1);
  EXPECT_EQ(w.state.option_anim[1], midway);  // the click alone moves nothing
  on_tick(w.state, now += milliseconds(16));

  EXPECT_NEAR(w.state.option_anim[1], midway * (1 - 0.224f), 1e-5f);
}

TEST(SetScreen, ClearsPointerStateAndMarksTheChange) {
  UiState state = install_state();
  state.clock = 4.0f;
  state.hover = kToggle1;
  state.pressed = kToggle1;
  state.progress_target = 0.5f;
  state.progress_shown = 0.4f;

  set_screen(state, Screen::error("no"));

  EXPECT_TRUE(state.hover.is_nothing());
  EXPECT_TRUE(state.pressed.is_nothing());
  EXPECT_EQ(state.screen_since, 4.0f);
  // Only entering Progress from elsewhere resets the bar.
  EXPECT_EQ(state.progress_shown, 0.4f);
  set_screen(state, Screen::progress());
  EXPECT_EQ(state.progress_shown, 0.0f);
  state.progress_shown = 0.3f;
  set_screen(state, Screen::progress());
  EXPECT_EQ(state.progress_shown, 0.3f);
}

// The real runner on an in-memory machine, with the thread replaced by a
// plain call so the outcome is there when start() returns.
void run_inline(std::function<void()> body) { body(); }

TEST(WorkerRunner, RemovalRunsUninstallWithTheChosenDataOption) {
  for (bool delete_data : {false, true}) {
    testing::FakeMachine machine;
    std::string data = std::string(testing::FakeMachine::kRoaming) + "\\com.vestrana.desktop";
    machine.files.add_file(data + "\\settings.json", "{}");
    WorkerRunner runner(machine.platform, {}, run_inline);
    ProgressRef record = create_progress_record();
    OperationRequest request;
    request.mode = Mode::Remove;
    request.target_dir = testing::FakeMachine::kInstallDir;
    request.delete_user_data = delete_data;

    runner.start(record, request);

    ProgressSnapshot end = take_progress(*record);
    EXPECT_EQ(end.outcome.kind, Outcome::Succeeded) << delete_data;
    EXPECT_EQ(end.step, Step::Finishing);
    EXPECT_EQ(end.fraction, 1.0f);
    EXPECT_EQ(machine.files.exists(data), !delete_data);
    EXPECT_EQ(record.use_count(), 1);  // the worker's reference is gone
  }
}

TEST(WorkerRunner, InstallRunsTheInstallProcedure) {
  testing::FakeMachine machine;
  const uint8_t not_an_archive[] = {1, 2, 3};
  WorkerRunner runner(machine.platform, not_an_archive, run_inline);
  ProgressRef record = create_progress_record();
  OperationRequest request;
  request.mode = Mode::Update;
  request.strings = &english();

  runner.start(record, request);

  ProgressSnapshot end = take_progress(*record);
  EXPECT_EQ(end.outcome.kind, Outcome::Failed);
  EXPECT_NE(end.outcome.message.find("packed app"), std::string::npos) << end.outcome.message;
  EXPECT_EQ(end.step, Step::CopyingFiles);
}

}  // namespace
}  // namespace vestrana
