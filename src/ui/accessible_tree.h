#pragma once
// What a screen reader is told about the window: the current screen as a
// flat list of elements in reading order (child IDs 1..n), each with the
// role, name, value, states and rectangle that the painting shows, and the
// events that tell it when something changed. Built from the UiState and the
// same layout that painting and hit testing use; the COM object that hands
// it to the system is a thin layer over this.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "paint/text.h"
#include "ui/layout.h"
#include "ui/ui_state.h"

namespace vestrana {

enum class AccessibleRole : uint8_t {
  StaticText,
  Alert,  // the error screen's heading: readers speak an alert only from this role
  CheckButton,
  ProgressBar,
  PushButton,
};

struct AccessibleElement {
  AccessibleRole role = AccessibleRole::StaticText;
  std::string name;
  std::string value;  // the progress bar's "42 %"; empty otherwise
  // The alert's whole error text (the screen paints at most three lines of
  // it); for the focused control, the screen's message, which a reader
  // speaks with the focus event that follows a screen change.
  std::string description;
  std::string default_action;  // "Toggle" or "Press"; empty for what cannot act
  // The interactive element behind it (its action is a click on this);
  // Nothing for texts and the progress bar.
  ElementRef element;
  LayoutRect rect;  // logical units of the canvas
  bool checked = false;
  bool unavailable = false;  // the close button while an operation runs
  bool focusable = false;
  bool focused = false;
};

// The current screen's elements in reading order: the header texts (product
// name, subtitle, update badge), the removal question, the options, the step
// text, percentage and progress bar, the done or error heading (an alert on
// Error) and body, the secondary and primary buttons, then minimize and
// close. Texts lie where their ink is, at the size they are painted.
std::vector<AccessibleElement> accessible_tree(const UiState& state, const FontSet& fonts);

// The 1-based child ID of the element behind `element` in `tree`, or 0.
uint32_t child_id_of(const std::vector<AccessibleElement>& tree, ElementRef element);

// The child at the logical point: an interactive element before a text that
// overlaps it; 0 when none is there.
uint32_t child_at(const std::vector<AccessibleElement>& tree, float x, float y);

// The window's own name, which changes with the screen so that a screen
// reader announces it: the window title on Welcome, the step on Progress,
// the heading on Done, the heading and the message on Error.
std::string screen_announcement(const UiState& state);

// What a screen reader must be told after the state changed.
struct AccessibleEvent {
  enum Kind : uint8_t {
    Focus,  // the focus moved to `child`
    StateChange,  // a toggle (`child`) was switched
    ValueChange,  // the progress bar (`child`) shows another value
    NameChange,  // `child` 0: the window's announcement, else that text changed
    Alert,  // an error screen came up; `child` is its alert
  };
  Kind kind = Focus;
  uint32_t child = 0;

  bool operator==(const AccessibleEvent&) const = default;
};

// Compares the state with what it saw last time and lists the events, in
// the order to send them. The progress value is reported at most every
// kValueEventSeconds of the animation clock.
class AccessibleEvents {
 public:
  static constexpr float kValueEventSeconds = 0.25f;

  std::vector<AccessibleEvent> update(const UiState& state, const FontSet& fonts);

  // The window got the keyboard focus (also when it first opens): the
  // focused child, so that a reader says where the focus is before any key
  // is pressed. Nothing when no element has it (the window is the focus).
  static std::vector<AccessibleEvent> focus_gained(const UiState& state, const FontSet& fonts);

 private:
  bool seen_ = false;
  Screen screen_;
  ElementRef focus_;
  std::vector<bool> options_;
  Step step_ = Step::ClosingApp;
  std::string value_;
  float value_clock_ = 0;
};

}  // namespace vestrana
