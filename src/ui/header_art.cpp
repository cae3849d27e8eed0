#include "ui/header_art.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "ui/animation.h"

namespace vestrana {
namespace {

// The logo tile keeps the light accent in the dark theme too: it is the
// product's mark, not a control.
constexpr Color kLogoTile = Color::rgb(0x5847F0);

void heart(const PaintContext& p, float ix, float iy, std::uint8_t a, const Transform& tilt) {
  Path path;
  path.move_to(ix, iy + 8);
  path.cubic_to(ix - 11, iy + 1, ix - 9, iy - 9, ix - 4.5f, iy - 8);
  path.cubic_to(ix - 2, iy - 7.5f, ix - 0.6f, iy - 5.5f, ix, iy - 4.2f);
  path.cubic_to(ix + 0.6f, iy - 5.5f, ix + 2, iy - 7.5f, ix + 4.5f, iy - 8);
  path.cubic_to(ix + 9, iy - 9, ix + 11, iy + 1, ix, iy + 8);
  path.close();
  p.canvas.fill_path(path, faded(p.pal.highlight, a), tilt);
}

void hash_sign(const PaintContext& p, float ix, float iy, std::uint8_t a, const Transform& tilt) {
  p.canvas.fill_rounded_rect(ix - 18, iy - 10, 36, 20, 10, faded(p.pal.accent_soft, a), tilt);
  // One path, so the crossings are not blended twice while the card fades.
  Path path;
  path.move_to(ix - 3, iy - 5);
  path.line_to(ix - 5, iy + 5);
  path.move_to(ix + 4, iy - 5);
  path.line_to(ix + 2, iy + 5);
  path.move_to(ix - 7, iy - 1.8f);
  path.line_to(ix + 6, iy - 1.8f);
  path.move_to(ix - 8, iy + 1.8f);
  path.line_to(ix + 5, iy + 1.8f);
  p.canvas.stroke_path(path, 1.6f, faded(p.pal.accent, a), tilt);
}

void speech_bubble(const PaintContext& p, float ix, float iy, std::uint8_t a, const Transform& tilt) {
  Path path;
  path.move_to(ix - 8, iy + 7);
  path.line_to(ix - 6.5f, iy + 3);
  path.cubic_to(ix - 10.5f, iy - 3, ix - 6, iy - 8, ix, iy - 8);
  path.cubic_to(ix + 6, iy - 8, ix + 10, iy - 4, ix + 9, iy);
  path.cubic_to(ix + 8, iy + 5, ix + 2, iy + 8.5f, ix - 4, iy + 5.5f);
  path.close();
  p.canvas.stroke_path(path, 1.8f, faded(p.pal.success, a), tilt);
}

// The card's fills in the themes: shadow, body, avatar dot and text bars.
void card_fills(const PaintContext& p, int i, float left, float top, float a, const Transform& tilt) {
  const Color avatars[3] = {p.pal.avatar_1, p.pal.avatar_2, p.pal.avatar_3};
  const std::uint8_t body = alpha_from(a);
  const Color surface = faded(p.pal.surface, body);
  // Once the card is opaque its body overwrites what lies under it, so
  // the shadow layers leave out the pixels the body covers completely: the
  // same picture with most of the shadows' blending saved.
  std::optional<Coverage> body_shape;
  if (surface.a == 255) body_shape = p.canvas.rasterize_rounded_rect(left, top, 212, 86, 18, tilt);

  // A soft shadow from seven widening, increasingly faint layers.
  const float b = alpha_from(std::min(0.16f * a, 1.0f));
  for (int j = 0; j < 7; ++j) {
    const float g = 1.5f + 2.2f * static_cast<float>(j);
    const float layer = std::clamp(0.07857143f * (1 - 0.6f * static_cast<float>(j) / 7), 0.0f, 1.0f);
    const auto alpha = static_cast<std::uint8_t>(std::clamp(std::round(layer * b), 0.0f, 255.0f));
    p.canvas.fill_rounded_rect(left - g, top - g + 6, 212 + 2 * g, 86 + 2 * g, 18 + g, p.pal.shadow.with_alpha(alpha),
                               tilt, body_shape ? &*body_shape : nullptr);
  }

  if (body_shape) {
    p.canvas.fill_coverage(*body_shape, surface);
  } else {
    p.canvas.fill_rounded_rect(left, top, 212, 86, 18, surface, tilt);
  }
  p.canvas.fill_circle(left + 30, top + 30, 14, faded(avatars[i], body), tilt);
  p.canvas.fill_rounded_rect(left + 54, top + 20, 74, 8, 4, faded(p.pal.text_main, alpha_from(0.82f * a)), tilt);
  p.canvas.fill_rounded_rect(left + 54, top + 34, 46, 6, 3, faded(p.pal.text_muted, alpha_from(0.45f * a)), tilt);
  const Color faint = faded(p.pal.text_muted, alpha_from(0.26f * a));
  p.canvas.fill_rounded_rect(left + 18, top + 55, 150, 6, 3, faint, tilt);
  p.canvas.fill_rounded_rect(left + 18, top + 67, 104, 6, 3, faint, tilt);
}

// High contrast: the card in outline only, no shadow; its body is filled
// with the background so that the cards still cover each other.
void card_outlines(const PaintContext& p, float left, float top, std::uint8_t body, const Transform& tilt) {
  const Color ink = faded(p.pal.text_main, body);
  p.canvas.fill_rounded_rect(left, top, 212, 86, 18, faded(p.pal.surface, body), tilt);
  p.outline(left, top, 212, 86, 18, 1, ink, tilt);
  p.outline(left + 16, top + 16, 28, 28, 14, 1, ink, tilt);
  p.outline(left + 54, top + 20, 74, 8, 4, 1, ink, tilt);
  p.outline(left + 54, top + 34, 46, 6, 3, 1, ink, tilt);
  p.outline(left + 18, top + 55, 150, 6, 3, 1, ink, tilt);
  p.outline(left + 18, top + 67, 104, 6, 3, 1, ink, tilt);
}

}  // namespace

void paint_cards(const PaintContext& p, float fade, float sink) {
  struct CardSpec {
    float dx, dy, tilt;
  };
  static constexpr CardSpec kCards[3] = {{-22, -58, -9}, {20, -8, 6}, {-4, 46, -2}};
  const bool busy = p.state.screen.kind == Screen::Progress;
  const float t = p.t;

  for (int i = 0; i < 3; ++i) {
    const float fi = static_cast<float>(i);
    const float e = ease_out_cubic((t - (0.08f + 0.09f * fi)) / kEntranceSeconds);
    const float a = fade * e;
    if (a <= 0.01f) continue;

    // The cards drift gently all the time; while an operation runs they
    // bob faster and wobble, so the window visibly works.
    const float bob = busy ? 4 * std::sin(1.4f * fi + 3.2f * t) : 3 * std::sin(1.4f * fi + 1.1f * t);
    const float wobble = busy ? 2.5f * std::sin(fi + 2.4f * t) : 0;
    const float cx = 474 + kCards[i].dx;
    const float cy = 158 + kCards[i].dy + 24 * (1 - e) + bob + sink;
    const Transform tilt = Transform::rotate(kCards[i].tilt + wobble, cx, cy);
    const float left = cx - 106;
    const float top = cy - 43;

    const std::uint8_t body = alpha_from(a);
    if (p.hc != nullptr) {
      card_outlines(p, left, top, body, tilt);
    } else {
      card_fills(p, i, left, top, a, tilt);
    }

    const float ix = left + 178;
    const float iy = top + 26;
    if (i == 0) heart(p, ix, iy, body, tilt);
    if (i == 1) hash_sign(p, ix, iy, body, tilt);
    if (i == 2) speech_bubble(p, ix, iy, body, tilt);
  }
}

void paint_status_badge(const PaintContext& p) {
  const bool error = p.state.screen.kind == Screen::Error;
  const bool done = p.state.screen.kind == Screen::Done && p.state.mode.kind != Mode::Remove;
  if (!error && !done) return;
  const float k = ease_out_back(2 * p.d);
  constexpr float bx = 566;
  constexpr float by = 176;
  // The halo in the background colour cuts the badge out of the cards.
  p.canvas.fill_circle(bx, by, 25 * k, p.pal.background);
  p.canvas.fill_circle(bx, by, 22 * k, error ? p.pal.highlight : p.pal.success);
  if (k <= 0.3f) return;
  if (error) {
    p.canvas.fill_rounded_rect(564.25f, by - 10 * k, 3.5f, 12 * k, 1.75f, p.on_accent());
    p.canvas.fill_circle(bx, by + 7.5f * k, 2.2f * k, p.on_accent());
  } else {
    Path check;
    check.move_to(bx - 8.5f * k, by + 0.5f * k);
    check.line_to(bx - 2.5f * k, by + 6.5f * k);
    check.line_to(bx + 9 * k, by - 6 * k);
    p.canvas.stroke_path(check, 3.2f, p.on_accent());
  }
}

// A tile with a white plus and a hooked stroke, drawn on a 48-unit design
// grid scaled to the 56-unit tile.
void paint_logo(const PaintContext& p, float y0, std::uint8_t a) {
  p.canvas.fill_rounded_rect(48, y0, 56, 56, 14, (p.hc != nullptr ? p.hc->highlight : kLogoTile).with_alpha(a));
  const Color glyph = p.on_accent().with_alpha(a);
  p.canvas.fill_rect(70.1667f, y0 + 9.3333f, 8.1667f, 23.3333f, glyph);
  p.canvas.fill_rect(60.8333f, y0 + 21, 30.3333f, 8.1667f, glyph);
  Path hook;
  hook.move_to(22.5f, 27.5f);
  hook.line_to(22.5f, 28);
  hook.cubic_to(22.5f, 32.7f, 26.3f, 36.5f, 31, 36.5f);
  hook.line_to(34, 36.5f);
  const Transform grid = Transform::scale(56.0f / 48.0f, 56.0f / 48.0f).then(Transform::translate(48, y0));
  p.canvas.stroke_path(hook, 7, glyph, grid);
}

}  // namespace vestrana
