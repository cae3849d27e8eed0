#pragma once
// What the parts of a frame's painting share: the state being painted, the
// canvas at its scale, the fonts, the palette, the animation clocks and the
// system colours while high contrast is on.

#include <cstdint>

#include "paint/pixmap.h"
#include "paint/text.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/screen_text.h"
#include "ui/ui_state.h"

namespace vestrana {

// Colours that do not change with the theme.
inline constexpr Color kWhite = Color::rgb(0xFFFFFF);
inline constexpr Color kBlack = Color::rgb(0x000000);

struct PaintContext {
  const UiState& state;
  Canvas canvas;
  FontSet& fonts;
  const Palette& pal;
  float t;  // clock
  float d;  // time since the screen changed
  float c;  // content ease of the current screen
  // The system colours while high contrast is on: then every element gets
  // an outline and whatever sits on the highlight colour is drawn in its
  // text colour.
  const SystemColours* hc;

  // White on the accent colours; in high contrast the highlight's text colour.
  Color on_accent() const { return hc != nullptr ? hc->highlight_text : kWhite; }

  // A `width`-unit line just inside the rounded rectangle.
  void outline(float x, float y, float w, float h, float r, float width, Color color,
               const Transform& shape = Transform::identity()) const;

  // Every line of the text as laid out, in `color`.
  void draw(const ScreenText& text, Color color) const;
};

// A colour whose own alpha is scaled by `a` (0..255). For the opaque palette
// colours this is simply the colour with alpha `a`.
Color faded(Color c, std::uint8_t a);

// Whether `ref` names that element.
bool refers_to(const ElementRef& ref, HitKind kind, std::uint32_t index = 0);

}  // namespace vestrana
