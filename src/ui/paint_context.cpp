#include "ui/paint_context.h"

#include <algorithm>

namespace vestrana {

void PaintContext::outline(float x, float y, float w, float h, float r, float width, Color color,
                           const Transform& shape) const {
  Path p;
  p.add_rounded_rect(x + width / 2, y + width / 2, w - width, h - width, std::max(r - width / 2, 0.0f));
  canvas.stroke_path(p, width, color, shape);
}

void PaintContext::draw(const ScreenText& text, Color color) const {
  for (const TextLine& line : text.lines) {
    draw_text(canvas, fonts, line.x, line.baseline, line.run.text, line.run.size, text.font, color,
              text.letter_spacing);
  }
}

Color faded(Color c, std::uint8_t a) {
  return c.with_alpha(static_cast<std::uint8_t>((std::uint32_t{c.a} * a + 127) / 255));
}

bool refers_to(const ElementRef& ref, HitKind kind, std::uint32_t index) {
  return ref.kind == kind && ref.index == index;
}

}  // namespace vestrana
