#include "ui/screens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "setup_flow.h"
#include "payload/uninstall.h"

namespace vestrana {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const StringTable& english() { return table_for(LanguageCode{}); }

// Records what the state machine asked of the window, in order.
struct RecordingEffects final : WindowEffects {
  std::vector<std::string> calls;
  void minimize() override { calls.push_back("minimize"); }
  void request_close() override { calls.push_back("close"); }
  void launch_app() override { calls.push_back("launch"); }
};

// Keeps every started operation instead of running it; a test plays the
// worker by writing into the record.
struct FakeRunner final : OperationRunner {
  struct Started {
    ProgressRef record;
    OperationRequest request;
  };
  std::vector<Started> started;
  void start(ProgressRef record, OperationRequest request) override {
    started.push_back({std::move(record), std::move(request)});
  }
};

const Clock::TimePoint kStart = Clock::TimePoint(seconds(500));

UiState make_state(Mode mode, std::vector<bool> options) {
  InteractiveStart start{std::move(mode), std::move(options),   "vestrana Setup",
                         false,           "D:\\Apps\\vestrana", &english()};
  return make_initial_state(start, load_fonts(), kStart);
}

UiState install_state() { return make_state(Mode::install(), {true, false}); }

// Puts the state on `screen` the way the program gets there.
void go_to(UiState& state, const Screen& screen) {
  set_screen(state, screen);
  state.progress = screen.kind == Screen::Progress ? create_progress_record() : nullptr;
}

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
  std::vector<std::string> effects;
  bool starts_operation;
  Screen::Kind screen_after;
};

class ActionTable : public ::testing::TestWithParam<ActionCase> {};

TEST_P(ActionTable, DoesWhatTheRowSays) {
  const ActionCase& c = GetParam();
  UiState state =
      make_state(c.mode, c.mode.kind == Mode::Remove ? std::vector<bool>{false} : std::vector<bool>{true, false});
  go_to(state, c.screen);
  RecordingEffects effects;
  FakeRunner runner;

  handle_action(state, c.element, effects, runner);

  EXPECT_EQ(effects.calls, c.effects);
  EXPECT_EQ(runner.started.size(), c.starts_operation ? 1u : 0u);
  EXPECT_EQ(state.screen.kind, c.screen_after);
}

const ElementRef kMinimize{HitKind::Minimize, 0};
const ElementRef kClose{HitKind::Close, 0};
const ElementRef kPrimary{HitKind::Primary, 0};
const ElementRef kSecondary{HitKind::Secondary, 0};
const ElementRef kNothing{HitKind::Nothing, 0};
using Calls = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(Screens, ActionTable,
                         ::testing::Values(ActionCase{"minimize_welcome", Mode::install(), Screen::welcome(), kMinimize,
                                                      Calls{"minimize"}, false, Screen::Welcome},
                                           ActionCase{"minimize_progress", Mode::install(), Screen::progress(),
                                                      kMinimize, Calls{"minimize"}, false, Screen::Progress},
                                           // Close is only posted; the close request itself is judged by close_allowed.
                                           ActionCase{"close_welcome", Mode::install(), Screen::welcome(), kClose,
                                                      Calls{"close"}, false, Screen::Welcome},
                                           ActionCase{"close_progress_posts", Mode::remove(), Screen::progress(),
                                                      kClose, Calls{"close"}, false, Screen::Progress},
                                           ActionCase{"close_error", Mode::install(), Screen::error("x"), kClose,
                                                      Calls{"close"}, false, Screen::Error},
                                           ActionCase{"primary_welcome_install", Mode::install(), Screen::welcome(),
                                                      kPrimary, Calls{}, true, Screen::Progress},
                                           ActionCase{"primary_welcome_update", Mode::update("1.0"), Screen::welcome(),
                                                      kPrimary, Calls{}, true, Screen::Progress},
                                           ActionCase{"primary_welcome_remove", Mode::remove(), Screen::welcome(),
                                                      kPrimary, Calls{}, true, Screen::Progress},
                                           ActionCase{"primary_error_retries", Mode::install(), Screen::error("x"),
                                                      kPrimary, Calls{}, true, Screen::Progress},
                                           ActionCase{"primary_progress_nothing", Mode::install(), Screen::progress(),
                                                      kPrimary, Calls{}, false, Screen::Progress},
                                           ActionCase{"primary_done_remove_closes", Mode::remove(), Screen::done(),
                                                      kPrimary, Calls{"close"}, false, Screen::Done},
                                           ActionCase{"primary_done_install_opens", Mode::install(), Screen::done(),
                                                      kPrimary, Calls{"launch", "close"}, false, Screen::Done},
                                           ActionCase{"primary_done_update_opens", Mode::update("1.0"), Screen::done(),
                                                      kPrimary, Calls{"launch", "close"}, false, Screen::Done},
                                           ActionCase{"secondary_done_only_closes", Mode::install(), Screen::done(),
                                                      kSecondary, Calls{"close"}, false, Screen::Done},
                                           ActionCase{"secondary_error", Mode::update("1.0"), Screen::error("x"),
                                                      kSecondary, Calls{"close"}, false, Screen::Error},
                                           ActionCase{"nothing", Mode::install(), Screen::welcome(), kNothing, Calls{},
                                                      false, Screen::Welcome}),
                         [](const auto& info) { return std::string(info.param.name); });

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
  UiState state = make_state(c.mode, c.options);
  RecordingEffects effects;
  FakeRunner runner;
  for (uint32_t index : c.clicks) handle_action(state, {HitKind::Toggle, index}, effects, runner);
  EXPECT_EQ(state.options, c.expected);
  EXPECT_EQ(state.screen, Screen::welcome());
  EXPECT_TRUE(effects.calls.empty());
  EXPECT_TRUE(runner.started.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Toggles,
    ::testing::Values(ToggleCase{"first", Mode::install(), {true, false}, {0}, {false, false}},
                      ToggleCase{"second", Mode::update("1.0"), {true, false}, {1}, {true, true}},
                      ToggleCase{"twice_restores", Mode::install(), {true, false}, {1, 1}, {true, false}},
                      ToggleCase{"past_the_end", Mode::install(), {true, false}, {2}, {true, false}},
                      ToggleCase{"huge_index", Mode::install(), {true, false}, {0xFFFFFFFFu}, {true, false}},
                      ToggleCase{"remove_delete_data", Mode::remove(), {false}, {0}, {true}},
                      ToggleCase{"remove_has_one_option", Mode::remove(), {false}, {1}, {false}}),
    [](const auto& info) { return std::string(info.param.name); });

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
  UiState state = make_state(c.mode, c.options);
  OperationRequest request = operation_request(state);
  EXPECT_EQ(request.mode, c.mode.kind);
  EXPECT_EQ(request.install.desktop_shortcut, c.install.desktop_shortcut);
  EXPECT_EQ(request.install.autostart, c.install.autostart);
  EXPECT_EQ(request.delete_user_data, c.delete_user_data);
  EXPECT_EQ(request.strings, &english());
  if (c.mode.kind == Mode::Remove) {
    EXPECT_EQ(request.target_dir, "D:\\Apps\\vestrana");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Requests,
    ::testing::Values(RequestCase{"install_as_set", Mode::install(), {false, true}, {false, true}, false},
                      RequestCase{"update_as_set", Mode::update("1.0"), {true, true}, {true, true}, false},
                      RequestCase{"install_no_options", Mode::install(), {}, {true, false}, false},
                      RequestCase{"install_one_option", Mode::install(), {false}, {false, false}, false},
                      RequestCase{"remove_delete", Mode::remove(), {true}, {true, false}, true},
                      RequestCase{"remove_keep", Mode::remove(), {false}, {true, false}, false},
                      RequestCase{"remove_no_options", Mode::remove(), {}, {true, false}, false}),
    [](const auto& info) { return std::string(info.param.name); });

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
  UiState state = make_state(Mode::install(), {false, true});
  RecordingEffects effects;
  FakeRunner runner;
  handle_action(state, kPrimary, effects, runner);
  ProgressRef first = runner.started.at(0).record;

  report_progress(*first, Step::CopyingFiles, 0.62f);
  on_tick(state, kStart + milliseconds(16));
  finish_operation(*first, Result::failure("The files could not be written: disk full."));
  on_tick(state, kStart + milliseconds(32));
  ASSERT_EQ(state.screen, Screen::error("The files could not be written: disk full."));
  // The bar stays where the failure left it.
  EXPECT_EQ(state.progress_target, 0.62f);
  EXPECT_GT(state.progress_shown, 0.0f);

  handle_action(state, kPrimary, effects, runner);

  ASSERT_EQ(runner.started.size(), 2u);
  EXPECT_NE(runner.started[1].record, first);
  EXPECT_EQ(state.progress, runner.started[1].record);
  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_EQ(state.progress_target, 0.0f);
  EXPECT_EQ(state.progress_shown, 0.0f);
  EXPECT_FALSE(runner.started[1].request.install.desktop_shortcut);
  EXPECT_TRUE(runner.started[1].request.install.autostart);
  EXPECT_TRUE(effects.calls.empty());
}

struct OutcomeCase {
  const char* name;
  Result result;
  Screen expected;
};

class TickOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(TickOutcome, IsTakenOnceAndTheRecordLetGo) {
  UiState state = make_state(Mode::remove(), {false});
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

INSTANTIATE_TEST_SUITE_P(Screens, TickOutcome,
                         ::testing::Values(OutcomeCase{"success", Result::success(), Screen::done()},
                                           OutcomeCase{"failure", Result::failure("the packed app is damaged (x)"),
                                                       Screen::error("the packed app is damaged (x)")}),
                         [](const auto& info) { return std::string(info.param.name); });

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

TEST(Tick, EasesBarAndTogglesAtTheirRates) {
  UiState state = install_state();  // options {on, off}, anim {1, 0}
  state.progress_target = 1.0f;
  state.options[1] = true;

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
  UiState state = install_state();
  state.progress_target = 1.0f;
  state.options[1] = true;

  on_tick(state, kStart + seconds(5));

  EXPECT_NEAR(state.clock, 0.1f, 1e-6f);
  EXPECT_NEAR(state.progress_shown, 0.7f, 1e-5f);
  // 14 x 0.1 exceeds 1: the toggle lands on its end and no further.
  EXPECT_EQ(state.option_anim[1], 1.0f);
  EXPECT_EQ(state.last_tick, kStart + seconds(5));
}

TEST(Tick, AClockGoingBackwardsCountsAsNoTime) {
  UiState state = install_state();
  state.clock = 3.0f;
  state.progress_target = 1.0f;
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
  UiState state = install_state();
  RecordingEffects effects;
  FakeRunner runner;
  handle_action(state, {HitKind::Toggle, 1}, effects, runner);
  Clock::TimePoint now = kStart;
  for (int i = 0; i < 3; ++i) on_tick(state, now += milliseconds(16));
  float midway = state.option_anim[1];
  ASSERT_GT(midway, 0.4f);
  ASSERT_LT(midway, 0.6f);

  handle_action(state, {HitKind::Toggle, 1}, effects, runner);
  EXPECT_EQ(state.option_anim[1], midway);  // the click alone moves nothing
  on_tick(state, now += milliseconds(16));

  EXPECT_NEAR(state.option_anim[1], midway * (1 - 0.224f), 1e-5f);
}

TEST(SetScreen, ClearsPointerStateAndMarksTheChange) {
  UiState state = install_state();
  state.clock = 4.0f;
  state.hover = {HitKind::Toggle, 1};
  state.pressed = {HitKind::Toggle, 1};
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

struct KeyCase {
  const char* name;
  Mode mode;
  Screen screen;
  Calls return_effects;
  bool return_starts;
  Calls escape_effects;
  bool close_allowed;
};

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, ReturnIsThePrimaryButtonAndEscapeCloses) {
  const KeyCase& c = GetParam();
  // Each key is pressed in a window of its own on the row's screen.
  struct Pressed {
    Pressed(const KeyCase& c, void (*key)(UiState&, WindowEffects&, OperationRunner&))
        : state(make_state(c.mode, {false, false})) {
      go_to(state, c.screen);
      key(state, effects, runner);
    }
    UiState state;
    RecordingEffects effects;
    FakeRunner runner;
  };
  const Pressed on_return(c, on_return_key);
  EXPECT_EQ(on_return.effects.calls, c.return_effects);
  EXPECT_EQ(on_return.runner.started.size(), c.return_starts ? 1u : 0u);
  const Pressed on_escape(c, on_escape_key);
  EXPECT_EQ(on_escape.effects.calls, c.escape_effects);
  EXPECT_TRUE(on_escape.runner.started.empty());
  EXPECT_EQ(close_allowed(on_escape.state), c.close_allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Keys,
    ::testing::Values(
        KeyCase{"welcome", Mode::install(), Screen::welcome(), Calls{}, true, Calls{"close"}, true},
        KeyCase{"welcome_remove", Mode::remove(), Screen::welcome(), Calls{}, true, Calls{"close"}, true},
        KeyCase{"progress", Mode::install(), Screen::progress(), Calls{}, false, Calls{}, false},
        KeyCase{"done_install", Mode::install(), Screen::done(), Calls{"launch", "close"}, false, Calls{"close"}, true},
        KeyCase{"done_remove", Mode::remove(), Screen::done(), Calls{"close"}, false, Calls{"close"}, true},
        KeyCase{"error", Mode::update("1.0"), Screen::error("x"), Calls{}, true, Calls{"close"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct ClickCase {
  const char* name;
  ElementRef pressed;
  ElementRef released;
  ElementRef expected;
};

class ClickRule : public ::testing::TestWithParam<ClickCase> {};

TEST_P(ClickRule, NeedsPressAndReleaseOnTheSameElement) {
  EXPECT_EQ(click_target(GetParam().pressed, GetParam().released), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ClickRule,
    ::testing::Values(ClickCase{"same_button", kPrimary, kPrimary, kPrimary},
                      ClickCase{"same_toggle", {HitKind::Toggle, 1}, {HitKind::Toggle, 1}, {HitKind::Toggle, 1}},
                      ClickCase{"other_toggle", {HitKind::Toggle, 0}, {HitKind::Toggle, 1}, kNothing},
                      ClickCase{"other_button", kPrimary, kSecondary, kNothing},
                      ClickCase{"minimize_then_close", kMinimize, kClose, kNothing},
                      ClickCase{"released_outside", kPrimary, kNothing, kNothing},
                      ClickCase{"pressed_outside", kNothing, kClose, kNothing},
                      ClickCase{"both_outside", kNothing, kNothing, kNothing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeftButtonUp, ActsOnAMatchingPressAndAlwaysClearsIt) {
  UiState state = install_state();
  RecordingEffects effects;
  FakeRunner runner;

  state.pressed = {HitKind::Toggle, 0};
  on_left_button_up(state, {HitKind::Toggle, 0}, effects, runner);
  EXPECT_FALSE(state.options[0]);
  EXPECT_TRUE(state.pressed.is_nothing());

  state.pressed = kPrimary;
  on_left_button_up(state, kNothing, effects, runner);
  EXPECT_TRUE(runner.started.empty());
  EXPECT_TRUE(state.pressed.is_nothing());

  // A release without a press (the press began outside the window) is no click.
  on_left_button_up(state, kPrimary, effects, runner);
  EXPECT_TRUE(runner.started.empty());
  EXPECT_EQ(state.screen, Screen::welcome());
}

const ElementRef kToggle0{HitKind::Toggle, 0};
const ElementRef kToggle1{HitKind::Toggle, 1};
using Refs = std::vector<ElementRef>;

struct FocusCase {
  const char* name;
  Mode mode;
  Screen screen;
  Refs order;  // Tab from the start, one element per press, until it wraps
};

class FocusOrder : public ::testing::TestWithParam<FocusCase> {};

TEST_P(FocusOrder, StartsOnPrimaryAndTabsInReadingOrder) {
  const FocusCase& c = GetParam();
  UiState state =
      make_state(c.mode, c.mode.kind == Mode::Remove ? std::vector<bool>{false} : std::vector<bool>{true, false});
  go_to(state, Screen::error("earlier"));
  state.focus = kSecondary;
  go_to(state, c.screen);
  EXPECT_EQ(focus_order(state), c.order);
  const ElementRef start = c.order.empty() ? kNothing : c.order.back();
  EXPECT_EQ(state.focus, start);

  // Tab walks the order and wraps; Shift+Tab walks it back.
  Refs forward, backward;
  for (size_t i = 0; i < c.order.size(); ++i) {
    move_focus(state, false);
    forward.push_back(state.focus);
  }
  for (size_t i = 0; i < c.order.size(); ++i) {
    move_focus(state, true);
    backward.insert(backward.begin(), state.focus);
  }
  EXPECT_EQ(forward, c.order);
  Refs rotated = c.order;
  if (!rotated.empty()) std::rotate(rotated.rbegin(), rotated.rbegin() + 1, rotated.rend());
  EXPECT_EQ(backward, rotated);
  EXPECT_EQ(state.focus, start);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FocusOrder,
    ::testing::Values(
        FocusCase{"welcome_install", Mode::install(), Screen::welcome(), Refs{kToggle0, kToggle1, kPrimary}},
        FocusCase{"welcome_update", Mode::update("1.0"), Screen::welcome(), Refs{kToggle0, kToggle1, kPrimary}},
        FocusCase{"welcome_remove", Mode::remove(), Screen::welcome(), Refs{kToggle0, kPrimary}},
        FocusCase{"progress", Mode::install(), Screen::progress(), Refs{}},
        FocusCase{"done_install", Mode::install(), Screen::done(), Refs{kSecondary, kPrimary}},
        FocusCase{"done_remove", Mode::remove(), Screen::done(), Refs{kPrimary}},
        FocusCase{"error", Mode::update("1.0"), Screen::error("x"), Refs{kSecondary, kPrimary}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Keyboard, SpaceActsOnTheFocusedElementWhenItComesUp) {
  UiState state = install_state();
  RecordingEffects effects;
  FakeRunner runner;
  EXPECT_EQ(state.focus, kPrimary);
  EXPECT_FALSE(state.focus_visible);

  move_focus(state, false);  // the desktop toggle
  on_space_down(state);
  EXPECT_EQ(state.pressed, kToggle0);  // the pressed look while the key is down
  EXPECT_TRUE(state.options[0]);
  on_space_up(state, effects, runner);
  EXPECT_FALSE(state.options[0]);
  EXPECT_TRUE(state.pressed.is_nothing());
  on_space_up(state, effects, runner);  // a second release is no second press
  EXPECT_FALSE(state.options[0]);

  // Moving on while Space is held cancels the press.
  on_space_down(state);
  move_focus(state, false);
  on_space_up(state, effects, runner);
  EXPECT_FALSE(state.options[0]);
  EXPECT_FALSE(state.options[1]);

  move_focus(state, false);  // the primary button
  on_space_down(state);
  on_space_up(state, effects, runner);
  EXPECT_EQ(runner.started.size(), 1u);
  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_TRUE(state.focus.is_nothing());
  on_space_down(state);  // nothing to press on Progress
  EXPECT_TRUE(state.pressed.is_nothing());
  EXPECT_TRUE(effects.calls.empty());
}

TEST(Keyboard, AClickHidesTheCuesAndMovesTheFocusToWhatWasClicked) {
  UiState state = install_state();
  move_focus(state, true);
  EXPECT_TRUE(state.focus_visible);
  EXPECT_EQ(state.focus, kToggle1);

  on_left_button_down(state, kToggle0);
  EXPECT_FALSE(state.focus_visible);
  EXPECT_EQ(state.focus, kToggle0);
  EXPECT_EQ(state.pressed, kToggle0);
  // The title-bar buttons and empty space never take the focus.
  on_left_button_down(state, kMinimize);
  on_left_button_down(state, kNothing);
  EXPECT_EQ(state.focus, kToggle0);

  EXPECT_TRUE(take_focus(state, kPrimary));
  EXPECT_FALSE(take_focus(state, kSecondary));  // not on this screen
  EXPECT_FALSE(take_focus(state, kClose));
  EXPECT_EQ(state.focus, kPrimary);
  EXPECT_FALSE(state.focus_visible);
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
