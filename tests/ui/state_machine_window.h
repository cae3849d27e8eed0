#pragma once
// A window's state machine without the window: the state, what it asks of
// the window, and the operations it starts, each recorded for the tests.

#include <chrono>
#include <string>
#include <vector>

#include "setup_flow.h"
#include "ui/screens.h"
#include "ui/ui_test_names.h"

namespace vestrana::state_machine_window {

using namespace ui_test_names;

inline const StringTable& english() { return table_for(LanguageCode{}); }

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

inline const Clock::TimePoint kStart = Clock::TimePoint(std::chrono::seconds(500));
using Calls = std::vector<std::string>;

// The options a window of this mode opens with: the removal has one.
inline std::vector<bool> usual_options(const Mode& mode) {
  return mode.kind == Mode::Remove ? std::vector<bool>{false} : std::vector<bool>{true, false};
}

inline UiState make_state(Mode mode, std::vector<bool> options) {
  InteractiveStart start{std::move(mode), std::move(options),   "vestrana Setup",
                         false,           "D:\\Apps\\vestrana", &english()};
  return make_initial_state(start, load_fonts(), kStart);
}

inline UiState install_state() { return make_state(kInstall, {true, false}); }

// Puts the state on `screen` the way the program gets there.
inline void go_to(UiState& state, const Screen& screen) {
  set_screen(state, screen);
  state.progress = screen.kind == Screen::Progress ? create_progress_record() : nullptr;
}

// A window's state with the effects and the runner its input reaches.
struct Window {
  explicit Window(UiState s) : state(std::move(s)) {}
  Window(const Mode& mode, const Screen& screen, std::vector<bool> options) : state(make_state(mode, options)) {
    go_to(state, screen);
  }
  Window(const Mode& mode, const Screen& screen) : Window(mode, screen, usual_options(mode)) {}
  void act(ElementRef element) { handle_action(state, element, effects, runner); }

  UiState state;
  RecordingEffects effects;
  FakeRunner runner;
};

}  // namespace vestrana::state_machine_window
