#pragma once
// The pictures of the header: the floating cards with their icons, the
// status badge of the done and error screens, and the logo tile.

#include <cstdint>

#include "ui/paint_context.h"

namespace vestrana {

// The three cards, faded to `fade` (0..1) and sunk `sink` units.
void paint_cards(const PaintContext& p, float fade, float sink);

// The check (done) or exclamation mark (error) popping out over the cards;
// nothing on the other screens and after a removal.
void paint_status_badge(const PaintContext& p);

// The logo tile with its top at `y0`, at opacity `a`.
void paint_logo(const PaintContext& p, float y0, std::uint8_t a);

}  // namespace vestrana
