#pragma once
// The window's colours. There is one palette for the light and one for the
// dark app theme; painting picks one from the state's `dark` flag and never
// mixes them. Colours that both themes share (the logo tile, white glyphs,
// the red close button) are constants of the painting code, not entries here.

#include <cstdint>
#include <optional>

#include "paint/pixmap.h"

namespace vestrana {

struct Palette {
  Color background;  // whole-canvas fill; halo ring of the status badge
  Color panel;  // footer panel
  Color surface;  // the three cards
  Color text_main;  // product name, headings, labels, glyphs
  Color text_muted;  // subtitle, body lines, percentage
  Color line;  // footer separator
  Color hover_tint;  // hovered minimize / secondary button (translucent)
  Color press_tint;  // pressed minimize / secondary button (translucent)
  Color accent;  // primary button, progress fill, switched-on toggle
  Color accent_hover;  // primary button under the mouse
  Color accent_soft;  // update badge, pill behind the hash icon
  Color accent_on_soft;  // update badge text
  Color danger;  // primary button of the removal question
  Color danger_hover;  // the same under the mouse
  Color track;  // switched-off toggle, progress track
  Color success;  // done badge, speech-bubble icon
  Color highlight;  // error badge, heart icon
  Color shadow;  // card shadows
  Color avatar_1;  // avatar dots of the three cards
  Color avatar_2;
  Color avatar_3;
};

// The palette of the dark (true) or light (false) app theme.
const Palette& palette_for(bool dark);

// The system colours a high-contrast scheme chooses; while high contrast is
// on, the window paints with these instead of either theme.
struct SystemColours {
  Color window;  // backgrounds, the panel, the cards
  Color window_text;  // texts, outlines, the separator
  Color highlight;  // primary button, switched-on toggle, progress fill, hover, badges
  Color highlight_text;  // texts and glyphs on `highlight`
  Color button_face;  // secondary button, switched-off toggle
  Color gray_text;  // what cannot be used right now (closing while busy, inactive glyphs)

  bool operator==(const SystemColours&) const = default;
};

// A Windows COLORREF (0x00BBGGRR) as an opaque colour.
Color colour_from_colorref(std::uint32_t colorref);

// Every palette entry taken from the system colours, all opaque: nothing of
// either theme remains. The shadow is transparent, since high contrast
// draws the cards in outline only.
Palette high_contrast_palette(const SystemColours& colours);

}  // namespace vestrana
