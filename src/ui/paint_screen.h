#pragma once
// Paints one complete frame of the setup window from the UI state: the
// background, the floating cards and status badge, the header, the footer
// panel with the current screen's content, and the drawn title bar.
//
// A frame is a pure function of the state (screen, mode, hover and press,
// clocks, progress, toggle positions, theme): painting keeps nothing between
// frames except the glyph cache inside the FontSet, so the same state always
// gives the same pixels whatever the repaint rate.

#include <string>
#include <string_view>
#include <vector>

#include "paint/pixmap.h"
#include "paint/text.h"
#include "ui/strings.h"
#include "ui/ui_state.h"

namespace vestrana {

// Draws the whole frame into `pixmap` at `scale` pixels per logical unit
// (the pixmap is normally 640 x 420 logical units at that scale). `fonts`
// is normally the state's own FontSet, lent for its glyph cache; the
// interactive elements come from the same layout functions as hit testing.
void paint_screen(const UiState& state, Pixmap& pixmap, FontSet& fonts, float scale);

// The body text of the done and error screens broken into lines: words are
// split at every single space, and a word joins the current line (after one
// space) while the joined line measures at most `max_width` at 13 in Medium;
// otherwise it starts the next line. A word wider than the limit stays whole
// on its own line. Returns every line; the screen shows the first three.
std::vector<std::string> wrap_body_lines(const FontSet& fonts, std::string_view text,
                                         float max_width);

// What the done and error screens show: the heading, and the body broken
// into the lines that are drawn (wrapped left of the buttons, at most three).
struct OutcomeText {
  StringId title;
  std::vector<std::string> body_lines;
};
OutcomeText outcome_text(const UiState& state, const FontSet& fonts);

// The percentage that the progress screen paints for a fraction ("42 %").
std::string progress_percent_text(float progress);

}  // namespace vestrana
