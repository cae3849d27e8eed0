#pragma once
// Where the interactive elements of every screen lie, and which element a
// point is on. Painting draws each element inside these rectangles and the
// window host tests mouse positions against them, so both must come from
// here. Everything is in logical units of the fixed 640 x 420 canvas; the
// button and option widths follow the measured labels, so they change with
// the language.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "paint/text.h"
#include "ui/strings.h"
#include "ui/ui_state.h"

namespace vestrana {

inline constexpr float kCanvasWidth = 640;
inline constexpr float kCanvasHeight = 420;

struct LayoutRect {
  float x = 0;
  float y = 0;
  float w = 0;
  float h = 0;

  float right() const { return x + w; }
  float bottom() const { return y + h; }
  // Left and top edges inside, right and bottom edges outside, so that two
  // rectangles that touch never both claim a point.
  bool contains(float px, float py) const { return px >= x && px < x + w && py >= y && py < y + h; }

  bool operator==(const LayoutRect&) const = default;
};

struct HitRegion {
  HitKind kind = HitKind::Nothing;
  uint32_t index = 0;  // the option index for Toggle, else 0
  float x = 0;
  float y = 0;
  float w = 0;
  float h = 0;

  ElementRef element() const { return ElementRef{kind, index}; }
  LayoutRect rect() const { return LayoutRect{x, y, w, h}; }
};

// The drawn title bar's buttons, top right.
inline constexpr LayoutRect kMinimizeRect{548, 0, 46, 36};
inline constexpr LayoutRect kCloseRect{594, 0, 46, 36};

// The progress bar's track on the progress screen.
inline constexpr LayoutRect kProgressBarRect{48, 356, 544, 8};

// Buttons share one baseline row; the primary button's right edge is fixed
// and a long label grows it to the left.
inline constexpr float kButtonRight = 592;
inline constexpr float kButtonTop = 333;
inline constexpr float kButtonHeight = 46;
inline constexpr float kButtonGap = 10;
inline constexpr float kPrimaryMinWidth = 168;
inline constexpr float kPrimaryLabelSize = 15;
inline constexpr float kSecondaryLabelSize = 14.5f;
inline constexpr float kOptionLabelSize = 13.5f;
inline constexpr float kOptionLeft = 42;
inline constexpr float kOptionHeight = 28;
inline constexpr float kOptionLabelOffset = 52;  // from the row's left edge

// The labels of the current screen's elements; absent when the screen has no
// such element. Option labels are given by option index and exist only on
// the welcome screen.
std::optional<StringId> primary_label_id(const Screen& screen, const Mode& mode);
std::optional<StringId> secondary_label_id(const Screen& screen, const Mode& mode);
std::optional<StringId> option_label_id(const Screen& screen, const Mode& mode, uint32_t index);

// The text of a label in the state's string table (empty without a table).
std::string_view label_text(const UiState& state, StringId id);

// The rectangles of the current screen's elements, absent when the screen
// has no such element. A toggle exists for every option that has a label.
std::optional<LayoutRect> primary_button_rect(const UiState& state, const FontSet& fonts);
std::optional<LayoutRect> secondary_button_rect(const UiState& state, const FontSet& fonts);
std::optional<LayoutRect> toggle_rect(const UiState& state, const FontSet& fonts, uint32_t index);

// Texts that run toward a neighbour (the option labels, the removal
// question, the step text, the outcome heading and body toward the buttons;
// the subtitle and the update badge toward the lowest card) keep this much
// room from it. One that would come closer is drawn smaller, down to
// kMinTextSize, and only below that cut short with an ellipsis.
inline constexpr float kTextRoom = 8;
inline constexpr float kMinTextSize = 11;
// The lowest card's left edge at the height of the subtitle and the update
// badge (its tilt and float keep it right of this line).
inline constexpr float kHeaderTextLimit = 362;

// The x that the footer texts of the current screen must end before: the
// leftmost button, or on Progress the widest percentage ("100 %").
float content_text_limit(const UiState& state, const FontSet& fonts);

// `text` starting at `x`, fitted to end kTextRoom before `limit`.
FittedText fit_before(const FontSet& fonts, std::string_view text, float x, float limit, float size, int font,
                      float letter_spacing = 0);

// The option label as painted (the toggle's region ends with it).
std::optional<FittedText> option_label(const UiState& state, const FontSet& fonts, uint32_t index);

// The interactive elements of the current screen, in the order they are
// tested: minimize; close (not on Progress); on Done and Error the primary
// then the secondary button; on Welcome the toggles by index, then the
// primary button.
std::vector<HitRegion> layout_regions(const UiState& state, const FontSet& fonts);

// The first region that contains the logical point, or Nothing.
ElementRef hit_test(const UiState& state, const FontSet& fonts, float x, float y);

}  // namespace vestrana
