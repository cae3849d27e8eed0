// The pointer and the keyboard: which element a click reaches, the focus
// order, and what Return, Escape, Space and Tab do on each screen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/screens.h"
#include "ui/state_machine_window.h"
#include "ui/ui_test_names.h"

namespace vestrana {
namespace {

using namespace ui_test_names;
using namespace state_machine_window;

TEST(ClickRule, NeedsPressAndReleaseOnTheSameElement) {
  struct Case {
    const char* name;
    ElementRef pressed;
    ElementRef released;
    ElementRef expected;
  };
  const Case cases[] = {
      {"same_button", kPrimary, kPrimary, kPrimary},        {"same_toggle", kToggle1, kToggle1, kToggle1},
      {"other_toggle", kToggle0, kToggle1, kNothing},       {"other_button", kPrimary, kSecondary, kNothing},
      {"minimize_then_close", kMinimize, kClose, kNothing}, {"released_outside", kPrimary, kNothing, kNothing},
      {"pressed_outside", kNothing, kClose, kNothing},      {"both_outside", kNothing, kNothing, kNothing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(click_target(c.pressed, c.released), c.expected) << c.name;
  }
}

TEST(LeftButtonUp, ActsOnAMatchingPressAndAlwaysClearsIt) {
  Window w(install_state());
  UiState& state = w.state;
  auto release = [&w](ElementRef element) { on_left_button_up(w.state, element, w.effects, w.runner); };

  state.pressed = kToggle0;
  release(kToggle0);
  EXPECT_FALSE(state.options[0]);
  EXPECT_TRUE(state.pressed.is_nothing());

  state.pressed = kPrimary;
  release(kNothing);
  EXPECT_TRUE(w.runner.started.empty());
  EXPECT_TRUE(state.pressed.is_nothing());

  // A release without a press (the press began outside the window) is no click.
  release(kPrimary);
  EXPECT_TRUE(w.runner.started.empty());
  EXPECT_EQ(state.screen, Screen::welcome());
}

// The keyboard on each screen: Tab walks its focusable elements, Return is
// its primary button and Escape closes where closing is allowed.
struct KeyCase {
  const char* name;
  Mode mode;
  Screen screen;
  Refs order;  // Tab from the start, one element per press, until it wraps
  Calls return_effects;
  bool return_starts;
  Calls escape_effects;
  bool close_allowed;
};

class Keys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Keys, FocusStartsOnPrimaryAndTabsInReadingOrder) {
  const KeyCase& c = GetParam();
  UiState state = make_state(c.mode, usual_options(c.mode));
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

TEST_P(Keys, ReturnIsThePrimaryButtonAndEscapeCloses) {
  const KeyCase& c = GetParam();
  // Each key is pressed in a window of its own on the row's screen.
  Window on_return(c.mode, c.screen, {false, false});
  on_return_key(on_return.state, on_return.effects, on_return.runner);
  EXPECT_EQ(on_return.effects.calls, c.return_effects);
  EXPECT_EQ(on_return.runner.started.size(), c.return_starts ? 1u : 0u);

  Window on_escape(c.mode, c.screen, {false, false});
  on_escape_key(on_escape.state, on_escape.effects, on_escape.runner);
  EXPECT_EQ(on_escape.effects.calls, c.escape_effects);
  EXPECT_TRUE(on_escape.runner.started.empty());
  EXPECT_EQ(close_allowed(on_escape.state), c.close_allowed);
}

const Calls kCloses{"close"};
const KeyCase kKeys[] = {
    {"welcome_install", kInstall, kWelcome, Refs{kToggle0, kToggle1, kPrimary}, Calls{}, true, kCloses, true},
    {"welcome_update", kUpdate, kWelcome, Refs{kToggle0, kToggle1, kPrimary}, Calls{}, true, kCloses, true},
    {"welcome_remove", kRemove, kWelcome, Refs{kToggle0, kPrimary}, Calls{}, true, kCloses, true},
    {"progress", kInstall, kProgress, Refs{}, Calls{}, false, Calls{}, false},
    {"done_install", kInstall, kDone, Refs{kSecondary, kPrimary}, Calls{"launch", "close"}, false, kCloses, true},
    {"done_remove", kRemove, kDone, Refs{kPrimary}, kCloses, false, kCloses, true},
    {"error", kUpdate, kError, Refs{kSecondary, kPrimary}, Calls{}, true, kCloses, true},
};
INSTANTIATE_TEST_SUITE_P(Screens, Keys, ::testing::ValuesIn(kKeys), kByName);

TEST(Keyboard, SpaceActsOnTheFocusedElementWhenItComesUp) {
  Window w(install_state());
  UiState& state = w.state;
  auto space_up = [&w] { on_space_up(w.state, w.effects, w.runner); };
  EXPECT_EQ(state.focus, kPrimary);
  EXPECT_FALSE(state.focus_visible);

  move_focus(state, false);  // the desktop toggle
  on_space_down(state);
  EXPECT_EQ(state.pressed, kToggle0);  // the pressed look while the key is down
  EXPECT_TRUE(state.options[0]);
  space_up();
  EXPECT_FALSE(state.options[0]);
  EXPECT_TRUE(state.pressed.is_nothing());
  space_up();  // a second release is no second press
  EXPECT_FALSE(state.options[0]);

  // Moving on while Space is held cancels the press.
  on_space_down(state);
  move_focus(state, false);
  space_up();
  EXPECT_FALSE(state.options[0]);
  EXPECT_FALSE(state.options[1]);

  move_focus(state, false);  // the primary button
  on_space_down(state);
  space_up();
  EXPECT_EQ(w.runner.started.size(), 1u);
  EXPECT_EQ(state.screen, Screen::progress());
  EXPECT_TRUE(state.focus.is_nothing());
  on_space_down(state);  // nothing to press on Progress
  EXPECT_TRUE(state.pressed.is_nothing());
  EXPECT_TRUE(w.effects.calls.empty());
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

}  // namespace
}  // namespace vestrana
