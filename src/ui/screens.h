#pragma once
// The interactive setup's state machine: what every user action and every
// timer tick does to the window's UiState. All of it runs on the window
// thread. The two things it cannot do itself, touching the window and
// starting a worker, go through the small interfaces below, which the window
// host implements for real and tests replace.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/mode.h"
#include "payload/install.h"
#include "base/progress.h"
#include "system/platform.h"
#include "ui/ui_state.h"

namespace vestrana {

// What the state machine asks of the window. None of these may call back
// into the state machine synchronously: a close request is posted and comes
// back later as an ordinary close request, which close_allowed then judges.
class WindowEffects {
 public:
  virtual ~WindowEffects() = default;
  virtual void minimize() = 0;
  virtual void request_close() = 0;
  // Starts the installed application without waiting; a failure is ignored.
  virtual void launch_app() = 0;
};

// Everything a worker needs, copied out of the state so that the worker never
// reads the UiState.
struct OperationRequest {
  Mode::Kind mode = Mode::Install;
  InstallChoices install;  // Install and Update
  std::string target_dir;  // Remove
  bool delete_user_data = false;  // Remove
  const StringTable* strings = nullptr;

  bool operator==(const OperationRequest&) const = default;
};

// The request for the state's mode and current options. A missing option
// takes its first-install default: desktop shortcut on, autostart off, keep
// the user data.
OperationRequest operation_request(const UiState& state);

// Starts one operation on a worker. The worker reports into `record` and
// stores the outcome there; start() must return at once.
class OperationRunner {
 public:
  virtual ~OperationRunner() = default;
  virtual void start(ProgressRef record, OperationRequest request) = 0;
};

// The real runner: a detached worker thread (start_worker) running
// install_app for Install and Update, uninstall for Remove.
class WorkerRunner final : public OperationRunner {
 public:
  WorkerRunner(Platform& platform, std::span<const uint8_t> packed_app, ThreadLauncher launch = launch_detached_thread)
      : platform_(&platform), packed_app_(packed_app), launch_(launch) {}

  void start(ProgressRef record, OperationRequest request) override;

 private:
  Platform* platform_;
  std::span<const uint8_t> packed_app_;
  ThreadLauncher launch_;
};

// Easing rates of the progress bar and the toggles (per second), and the
// longest time one tick may account for, so that a window that was stalled
// (dragged, suspended) does not jump its animations.
inline constexpr float kBarEaseRate = 7;
inline constexpr float kToggleEaseRate = 14;
inline constexpr float kMaxTickSeconds = 0.1f;

// Changes the screen. Entering Progress from another screen zeroes the bar,
// so a retry starts from nothing; the entrance animations count from the
// current clock; hover and press are cleared, since the elements under the
// pointer have changed (the next mouse move sets the hover again).
void set_screen(UiState& state, Screen screen);

// Creates a fresh progress record (dropping any earlier one), switches to
// Progress and hands the record and the request to the runner.
void start_operation(UiState& state, OperationRunner& runner);

// What a click (or a key) on an element does; see the action rules in
// screens.cpp.
void handle_action(UiState& state, ElementRef element, WindowEffects& effects, OperationRunner& runner);

// One animation tick at monotonic time `now`: advances the clock, takes the
// worker's step, fraction and outcome, and eases the bar and the toggles.
// The caller repaints the whole window after every tick.
void on_tick(UiState& state, Clock::TimePoint now);

// A close request is refused while an operation runs: there is no cancel.
bool close_allowed(const UiState& state);

// Return acts as the primary button when the screen has one.
void on_return_key(UiState& state, WindowEffects& effects, OperationRunner& runner);
// Escape closes, except while an operation runs.
void on_escape_key(UiState& state, WindowEffects& effects, OperationRunner& runner);

// --- Keyboard focus ----------------------------------------------------------

// The current screen's focusable elements in reading order: the option
// toggles top to bottom, then the secondary, then the primary button. The
// title-bar buttons are not in it (Alt+Space and Alt+F4 reach them), and
// Progress has none.
std::vector<ElementRef> focus_order(const UiState& state);

// Where the focus starts on a screen: the primary button, or Nothing on a
// screen without one.
ElementRef initial_focus(const UiState& state);

// Tab (forward) and Shift+Tab (backward): the next focusable element,
// wrapping around at either end; shows the focus cues.
void move_focus(UiState& state, bool backward);

// Moves the focus to `element` if it is focusable on this screen (a screen
// reader asks for that); returns whether it did. The cues stay as they are.
bool take_focus(UiState& state, ElementRef element);

// Space goes down: the focused element shows pressed, and the cues show.
void on_space_down(UiState& state);
// Space comes up: the element that went down with it acts, exactly like a
// click on it; if the focus moved in between, nothing happens.
void on_space_up(UiState& state, WindowEffects& effects, OperationRunner& runner);

// Left button down over `element` (the hit test of the point): it is the
// pressed element, a focusable one takes the focus as native controls do,
// and the focus cues hide.
void on_left_button_down(UiState& state, ElementRef element);

// The click rule: an action fires only when the button went down and came up
// over the same element (for toggles: the same option). Returns that element,
// or Nothing.
ElementRef click_target(ElementRef pressed, ElementRef released);

// Left button released over `released` (the hit test of the release point):
// clears `pressed` and acts on the click target, if any.
void on_left_button_up(UiState& state, ElementRef released, WindowEffects& effects, OperationRunner& runner);

}  // namespace vestrana
