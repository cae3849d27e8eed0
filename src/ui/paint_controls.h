#pragma once
// The window's controls as painted: the buttons, the option toggles, the
// progress bar, the keyboard focus ring and the drawn title bar. Each lies
// in the rectangle the layout gives it for hit testing.

#include <cstdint>

#include "ui/paint_context.h"

namespace vestrana {

// The primary button with its label; removing is the one destructive
// choice, so its button is red.
void paint_primary_button(const PaintContext& p, const ScreenText& label);
void paint_secondary_button(const PaintContext& p, const ScreenText& label);

// Option `index`'s switch (its label is a text of its own).
void paint_toggle(const PaintContext& p, std::uint32_t index);

// The progress bar's track, fill and shimmer.
void paint_progress_bar(const PaintContext& p);

// The ring round the focused element, once the keyboard was used.
void paint_focus_ring(const PaintContext& p);

// Minimize and close, top right.
void paint_title_bar(const PaintContext& p);

}  // namespace vestrana
