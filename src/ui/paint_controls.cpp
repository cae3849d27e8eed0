#include "ui/paint_controls.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vestrana {
namespace {

constexpr Color kKnobShadow = Color{0, 0, 0, 0x1E};
constexpr Color kCloseHover = Color::rgb(0xC42B1C);
constexpr Color kClosePressed = Color::rgb(0xB22A1B);
constexpr Color kShimmer = Color{0xFF, 0xFF, 0xFF, 0x3C};

constexpr float kBarLeft = kProgressBarRect.x;
constexpr float kBarTop = kProgressBarRect.y;
constexpr float kBarWidth = kProgressBarRect.w;
constexpr float kBarHeight = kProgressBarRect.h;

// Clamps to 0..1; not-a-number counts as 0, so a broken value can never
// push a shape out of its element.
float unit(float v) {
  if (!(v > 0)) return 0;
  return v > 1 ? 1 : v;
}

}  // namespace

void paint_primary_button(const PaintContext& p, const ScreenText& label) {
  const std::optional<LayoutRect> r = primary_button_rect(p.state, p.fonts);
  if (!r) return;
  const bool danger = p.state.screen.kind == Screen::Welcome && p.state.mode.kind == Mode::Remove;
  const Color normal = danger ? p.pal.danger : p.pal.accent;
  const Color hover = danger ? p.pal.danger_hover : p.pal.accent_hover;
  const bool hovered = refers_to(p.state.hover, HitKind::Primary);
  const bool pressed = refers_to(p.state.pressed, HitKind::Primary);
  Color fill = normal;
  Color ink = p.on_accent();
  if (hovered) fill = hover;
  if (pressed) fill = mix(hover, kBlack, 0.12f);
  if (p.hc != nullptr && pressed) {
    // High contrast has no darker highlight: a press inverts the button.
    fill = p.hc->window_text;
    ink = p.hc->window;
  }
  p.canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, 23, fill);
  if (p.hc != nullptr) p.outline(r->x, r->y, r->w, r->h, 23, hovered || pressed ? 2 : 1, p.hc->window_text);
  p.draw(label, ink);
}

void paint_secondary_button(const PaintContext& p, const ScreenText& label) {
  const std::optional<LayoutRect> r = secondary_button_rect(p.state, p.fonts);
  if (!r) return;
  const bool pressed = refers_to(p.state.pressed, HitKind::Secondary);
  const bool hovered = refers_to(p.state.hover, HitKind::Secondary);
  Color ink = p.pal.text_main;
  if (p.hc != nullptr) {
    // High contrast: a button face with an outline, the highlight when in use.
    p.canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2,
                               hovered || pressed ? p.hc->highlight : p.hc->button_face);
    p.outline(r->x, r->y, r->w, r->h, r->h / 2, hovered || pressed ? 2 : 1, p.hc->window_text);
    if (hovered || pressed) ink = p.hc->highlight_text;
  } else if (pressed) {
    p.canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2, p.pal.press_tint);
  } else if (hovered) {
    p.canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2, p.pal.hover_tint);
  }
  p.draw(label, ink);
}

void paint_toggle(const PaintContext& p, std::uint32_t i) {
  const std::optional<LayoutRect> r = toggle_rect(p.state, p.fonts, i);
  if (!r) return;
  const UiState& state = p.state;
  const float on = unit(i < state.option_anim.size() ? state.option_anim[i] : 0.0f);
  const bool hovered = refers_to(state.hover, HitKind::Toggle, i);
  Color track = p.pal.track;
  if (hovered && p.hc == nullptr) track = mix(track, p.pal.text_main, 0.1f);
  p.canvas.fill_rounded_rect(r->x + 6, r->y + 4, 36, 20, 10, mix(track, p.pal.accent, on));
  const float knob = r->x + 16 + 16 * on;
  if (p.hc != nullptr) {
    // High contrast: an outlined track, thicker under the pointer, and a
    // knob in the text colour of whatever it sits on.
    p.outline(r->x + 6, r->y + 4, 36, 20, 10, hovered ? 2 : 1, p.hc->window_text);
    p.canvas.fill_circle(knob, r->y + 14, 7.5f, mix(p.hc->window_text, p.hc->highlight_text, on));
  } else {
    p.canvas.fill_circle(knob, r->y + 14.6f, 7.6f, kKnobShadow);
    p.canvas.fill_circle(knob, r->y + 14, 7.5f, kWhite);
  }
}

void paint_progress_bar(const PaintContext& p) {
  p.canvas.fill_rounded_rect(kBarLeft, kBarTop, kBarWidth, kBarHeight, 4,
                             p.hc != nullptr ? p.pal.panel : p.pal.track.with_alpha(0xB3));
  // The fill never leaves the track, and even at 0 a stub shows where the
  // bar will grow from.
  const float fw = std::max(kBarWidth * unit(p.state.progress_shown), 8.0f);
  p.canvas.fill_rounded_rect(kBarLeft, kBarTop, fw, kBarHeight, 4, p.pal.accent);
  if (p.hc != nullptr) {
    // High contrast: the track outlined, and no shimmer over the highlight.
    p.outline(kBarLeft, kBarTop, kBarWidth, kBarHeight, 4, 1, p.hc->window_text);
    return;
  }

  // A 60-unit highlight sweeps over the filled part every 1/0.9 s.
  const float sweep = 0.9f * p.t;
  const float f = sweep - std::floor(sweep);
  const float sx = kBarLeft - 60 + (fw + 60) * f;
  const float left = std::max(sx, kBarLeft);
  const float right = std::min(sx + 60, kBarLeft + fw);
  if (right > left) p.canvas.fill_rounded_rect(left, kBarTop, right - left, kBarHeight, 4, kShimmer);
}

// A 2-unit ring in the text colour, 3 units clear of the focused element,
// rounded like the element (every focusable element is a pill of its own
// height). Only after the keyboard was used, so mouse users see no change.
void paint_focus_ring(const PaintContext& p) {
  if (!p.state.focus_visible || p.state.focus.is_nothing()) return;
  for (const HitRegion& region : layout_regions(p.state, p.fonts)) {
    if (region.element() != p.state.focus) continue;
    constexpr float kGap = 3;
    constexpr float kWidth = 2;
    constexpr float kMiddle = kGap + kWidth / 2;  // the stroke is centred on the path
    Path ring;
    ring.add_rounded_rect(region.x - kMiddle, region.y - kMiddle, region.w + 2 * kMiddle, region.h + 2 * kMiddle,
                          region.h / 2 + kMiddle);
    p.canvas.stroke_path(ring, kWidth, p.pal.text_main);
    return;
  }
}

void paint_title_bar(const PaintContext& p) {
  const UiState& state = p.state;
  const SystemColours* hc = p.hc;
  const LayoutRect& min = kMinimizeRect;
  if (refers_to(state.pressed, HitKind::Minimize)) {
    p.canvas.fill_rect(min.x, min.y, min.w, min.h, p.pal.press_tint);
  } else if (refers_to(state.hover, HitKind::Minimize)) {
    p.canvas.fill_rect(min.x, min.y, min.w, min.h, p.pal.hover_tint);
  }
  // Closing is refused while an operation runs, so the close button
  // neither lights up nor looks available then.
  const bool busy = state.screen.kind == Screen::Progress;
  const bool red = !busy && refers_to(state.hover, HitKind::Close);
  if (red) {
    const LayoutRect& r = kCloseRect;
    Color fill = refers_to(state.pressed, HitKind::Close) ? kClosePressed : kCloseHover;
    if (hc != nullptr) fill = hc->highlight;
    p.canvas.fill_rect(r.x, r.y, r.w, r.h, fill);
  }

  Color glyph = p.pal.text_main.with_alpha(state.active ? 0xFF : 0x8C);
  if (hc != nullptr && !state.active) glyph = hc->gray_text;
  Color dash_ink = glyph;
  if (hc != nullptr && (refers_to(state.pressed, HitKind::Minimize) || refers_to(state.hover, HitKind::Minimize))) {
    dash_ink = hc->highlight_text;
  }
  Path dash;
  dash.move_to(566, 18);
  dash.line_to(576, 18);
  p.canvas.stroke_path(dash, 1, dash_ink);

  Color cross = glyph;
  if (red) {
    cross = p.on_accent();
  } else if (busy) {
    cross = p.pal.text_main.with_alpha(static_cast<std::uint8_t>(std::lround(0.3 * glyph.a)));
    if (hc != nullptr) cross = hc->gray_text;
  }
  Path x;
  x.move_to(612, 13);
  x.line_to(622, 23);
  x.move_to(622, 13);
  x.line_to(612, 23);
  p.canvas.stroke_path(x, 1, cross);
}

}  // namespace vestrana
