#pragma once
// Paints one complete frame of the setup window from the UI state: the
// background, the floating cards and status badge, the header, the footer
// panel with the current screen's content, and the drawn title bar.
//
// A frame is a pure function of the state (screen, mode, hover and press,
// clocks, progress, toggle positions, theme): painting keeps nothing between
// frames except the glyph cache inside the FontSet, so the same state always
// gives the same pixels whatever the repaint rate.

#include "paint/pixmap.h"
#include "paint/text.h"
#include "ui/ui_state.h"

namespace vestrana {

// Draws the whole frame into `pixmap` at `scale` pixels per logical unit
// (the pixmap is normally 640 x 420 logical units at that scale). `fonts`
// is normally the state's own FontSet, lent for its glyph cache; the
// interactive elements come from the same layout functions as hit testing,
// the texts from the screen's text layout (ui/screen_text.h).
void paint_screen(const UiState& state, Pixmap& pixmap, FontSet& fonts, float scale);

}  // namespace vestrana
