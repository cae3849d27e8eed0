#pragma once
// Every text of the current screen as it is painted: its string, where its
// baseline starts, its font, the size it is drawn at after fitting, and the
// lines it is wrapped into. Painting draws these runs, the accessible tree
// takes its names and rectangles from them, and the preview's fit report
// measures them, so a text is placed in one spot only and what a screen
// reader is told lies exactly where the ink is.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "paint/text.h"
#include "ui/layout.h"
#include "ui/ui_state.h"

namespace vestrana {

enum class TextPart : uint8_t {
  ProductName,
  Subtitle,
  UpdateBadge,
  RemoveQuestion,
  OptionLabel,
  StepText,
  Percent,
  Heading,
  Body,
  SecondaryLabel,
  PrimaryLabel,
};

// One painted line: the words it holds as wrapped, and the run drawn for
// them (smaller or cut short when they did not fit).
struct TextLine {
  std::string wrapped;
  FittedText run;
  float x = 0;
  float baseline = 0;

  // From the face's ascender above the baseline to its descender below
  // (Inter: 0.97 and 0.24 of the size drawn), as wide as the run.
  LayoutRect rect() const;
};

struct ScreenText {
  TextPart part = TextPart::ProductName;
  uint32_t index = 0;  // the option's index for OptionLabel, else 0
  std::string text;  // whole: before wrapping, fitting and the three-line cut
  int font = kFontMedium;
  float size = 0;  // the size it is meant for; each line's run has the size drawn
  float letter_spacing = 0;
  // The x that the text must end kTextRoom before, for a text that runs
  // toward a neighbour; none for one with a place of its own.
  std::optional<float> limit;
  std::vector<TextLine> lines;
  // The update badge's pill behind the text.
  std::optional<LayoutRect> pill;

  // The rectangle round every line (the pill where there is one).
  LayoutRect bounds() const;
};

// Where the animated groups of texts stand: the header's top (64 once its
// entrance has settled, 10 units lower at the start) and how far the done
// and error texts still hang below their place (6 units at the change, 0
// once settled). The defaults are the settled layout.
struct TextAnchors {
  float header_top = 64;
  float outcome_drop = 0;
};

// The body of the done and error screens shows at most this many lines.
inline constexpr size_t kMaxBodyLines = 3;

// The current screen's texts in reading order: product name, subtitle,
// update badge; the removal question and option labels; the step text and
// percentage; the heading and body; the secondary and primary button labels.
// Without a string table only the product name.
std::vector<ScreenText> screen_texts(const UiState& state, const FontSet& fonts, TextAnchors anchors = {});

// The text of that part (and option index) in `texts`, or null.
const ScreenText* find_text(const std::vector<ScreenText>& texts, TextPart part, uint32_t index = 0);

// The text as the screen shows it: its lines as wrapped (before fitting),
// joined by single spaces; for the body only the lines shown.
std::string shown_text(const ScreenText& text);

// Whether the text is the label of a control (an option or a button)
// rather than a text of its own.
bool is_control_label(TextPart part);

// The body text of the done and error screens broken into lines: words are
// split at every single space, and a word joins the current line (after one
// space) while the joined line measures at most `max_width` at 13 in Medium;
// otherwise it starts the next line. A word wider than the limit stays whole
// on its own line. Returns every line; the screen shows the first three.
std::vector<std::string> wrap_body_lines(const FontSet& fonts, std::string_view text, float max_width);

// "N %" for the progress fraction: round(100 p), saturated to the 32-bit
// signed range, not-a-number as 0, then one plain space and a percent sign.
std::string percent_text(float progress);

}  // namespace vestrana
