#pragma once
// The window's state record: which screen shows, what the user has chosen,
// what the mouse is over, the animation clocks and the running operation.
// It belongs to the window from its creation to its destruction and is read
// and written only on the window thread; the one piece shared with the worker
// is the ProgressRecord behind `progress`.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/mode.h"
#include "paint/text.h"
#include "base/progress.h"
#include "ui/palette.h"
#include "ui/strings.h"

namespace vestrana {

struct InteractiveStart;

// The screen on show. Only Error carries a text: the message the failed
// operation handed back, shown as it came, or why the run may not start at
// all (a refusal, which offers no retry: only Close).
struct Screen {
  enum Kind : uint8_t {
    Welcome,  // the options and the primary button
    Progress,  // an operation runs on the worker
    Done,  // the operation finished without error
    Error,  // the operation failed; `message` says why
  };

  Kind kind = Welcome;
  std::string message;
  bool can_retry = true;  // Error: the primary button runs the operation again

  static Screen welcome() { return Screen{Welcome, {}}; }
  static Screen progress() { return Screen{Progress, {}}; }
  static Screen done() { return Screen{Done, {}}; }
  static Screen error(std::string message) { return Screen{Error, std::move(message)}; }
  static Screen refusal(std::string message) { return Screen{Error, std::move(message), false}; }

  bool operator==(const Screen&) const = default;
};

// The clickable elements. The numbers are fixed: hover and press state and
// the hit regions all use them.
enum class HitKind : uint8_t {
  Minimize = 0,
  Close = 1,
  Primary = 2,
  Secondary = 3,
  Toggle = 4,  // comes with the option's index
  Nothing = 5,
};

// One element: the kind and, for Toggle, the option index (0 for every other
// kind).
struct ElementRef {
  HitKind kind = HitKind::Nothing;
  uint32_t index = 0;

  static constexpr ElementRef nothing() { return ElementRef{HitKind::Nothing, 0}; }
  constexpr bool is_nothing() const { return kind == HitKind::Nothing; }

  bool operator==(const ElementRef&) const = default;
};

// The FontSet is held by value: the state owns the fonts and their glyph
// cache for the window's life and lends them to layout and painting. That
// makes UiState movable but not copyable.
struct UiState {
  // Every other field starts at its default; make_initial_state fills them.
  explicit UiState(FontSet font_set) : fonts(std::move(font_set)) {}

  ElementRef hover;  // element under the pointer; Nothing when none
  ElementRef pressed;  // element under the pointer when the left button went down
      // (or the focused element while Space is held)
  // The keyboard focus: one of the current screen's focusable elements (the
  // toggles, the secondary and the primary button), Nothing on Progress.
  ElementRef focus;
  // Focus cues: the ring shows only after the keyboard was used (Tab or
  // Space) and hides again after a mouse click, as Windows does.
  bool focus_visible = false;
  // Install/Update: [0] desktop shortcut, [1] start with Windows.
  // Remove: [0] also delete sign-in and settings.
  std::vector<bool> options;
  // One position per option, 0 (off) to 1 (on); same length as `options`.
  std::vector<float> option_anim;
  Mode mode;
  Screen screen;
  const StringTable* strings = nullptr;  // the chosen language, static data
  std::string version;  // the setup's own version
  float progress_target = 0;  // last fraction the worker reported
  float progress_shown = 0;  // what the bar draws; eases toward the target
  float clock = 0;  // animation clock, seconds
  float screen_since = 0;  // `clock` at the last screen change
  bool dark = false;
  bool active = true;  // the window is the active window
  Step step = Step::ClosingApp;
  FontSet fonts;
  std::string target_dir;  // the folder a removal works on
  Clock::TimePoint last_tick{};
  // The running operation's record; set exactly while `screen` is Progress.
  ProgressRef progress;
  bool mouse_tracked = false;  // a mouse-leave notification has been requested
  // The system colours while the user's high-contrast mode is on: painting
  // then uses them instead of either theme and outlines every element.
  std::optional<SystemColours> high_contrast;
};

// The state a new window starts with: the welcome screen, the start-up's
// mode, options, string table, dark flag and target folder, one animation
// position per option already at its end (so nothing slides on the first
// frame), every clock at 0, the window active, no operation, and `now` as the
// last tick so the first tick does not see the whole start-up as elapsed,
// and the keyboard focus on the primary button, its ring hidden. A start
// with a refusal opens on the refusal's error screen instead.
UiState make_initial_state(const InteractiveStart& start, FontSet fonts, Clock::TimePoint now);

}  // namespace vestrana
