#include "ui/paint_screen.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/product.h"
#include "base/progress.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

// Colours that do not change with the theme. The logo tile keeps the light
// accent in the dark theme too: it is the product's mark, not a control.
constexpr Color kWhite = Color::rgb(0xFFFFFF);
constexpr Color kBlack = Color::rgb(0x000000);
constexpr Color kLogoTile = Color::rgb(0x5847F0);
constexpr Color kKnobShadow = Color{0, 0, 0, 0x1E};
constexpr Color kCloseHover = Color::rgb(0xC42B1C);
constexpr Color kClosePressed = Color::rgb(0xB22A1B);
constexpr Color kShimmer = Color{0xFF, 0xFF, 0xFF, 0x3C};

// The whole picture hangs on a few fixed lines of the 640 x 420 canvas.
constexpr float kFooterTop = 292;
constexpr float kContentLeft = 48;
constexpr float kButtonBaseline = 361.5f;
constexpr float kBarLeft = 48;
constexpr float kBarTop = 356;
constexpr float kBarWidth = 544;
constexpr float kBarHeight = 8;
constexpr float kBodySize = 13;
constexpr size_t kMaxBodyLines = 3;

// Animation timings, in seconds.
constexpr float kEntranceSeconds = 0.45f;
constexpr float kContentSeconds = 0.3f;
constexpr float kLeaveSeconds = 0.7f;

// A colour whose own alpha is scaled by `a` (0..255). For the opaque palette
// colours this is simply the colour with alpha `a`.
Color faded(Color c, std::uint8_t a) {
  return c.with_alpha(static_cast<std::uint8_t>((std::uint32_t{c.a} * a + 127) / 255));
}

bool is(const ElementRef& ref, HitKind kind, std::uint32_t index = 0) {
  return ref.kind == kind && ref.index == index;
}

// Clamps to 0..1; not-a-number counts as 0, so a broken value can never
// push a shape out of its element.
float unit(float v) {
  if (!(v > 0)) return 0;
  return v > 1 ? 1 : v;
}

// "N %" for the progress fraction: round(100 p), saturated to the 32-bit
// signed range, not-a-number as 0, then one plain space and a percent sign.
std::string percent_text(float progress) {
  double n = std::round(100.0 * static_cast<double>(progress));
  if (std::isnan(n)) n = 0;
  n = std::clamp(n, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                 static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  char digits[16];
  auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), static_cast<std::int32_t>(n));
  (void)ec;  // 16 characters hold every 32-bit number
  std::string text(digits, end);
  text += " %";
  return text;
}

struct Painter {
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

  std::string_view text(StringId id) const { return label_text(state, id); }

  void draw(float x, float y, std::string_view s, float size, int font, Color color,
            float spacing = 0) {
    draw_text(canvas, fonts, x, y, s, size, font, color, spacing);
  }

  // A text that must end kTextRoom before `limit`: drawn as it is when it
  // fits, else smaller or cut short (see fit_text). Returns what was drawn.
  FittedText draw_fitted(float x, float y, std::string_view s, float limit, float size, int font, Color color,
                         float spacing = 0) {
    FittedText fitted = fit_before(fonts, s, x, limit, size, font, spacing);
    draw(x, y, fitted.text, fitted.size, font, color, spacing);
    return fitted;
  }

  // White on the accent colours; in high contrast the highlight's text colour.
  Color on_accent() const { return hc != nullptr ? hc->highlight_text : kWhite; }

  // A `width`-unit line just inside the rounded rectangle.
  void outline(float x, float y, float w, float h, float r, float width, Color color,
               const Transform& shape = Transform::identity()) {
    Path p;
    p.add_rounded_rect(x + width / 2, y + width / 2, w - width, h - width, std::max(r - width / 2, 0.0f));
    canvas.stroke_path(p, width, color, shape);
  }

  // --- Header area ------------------------------------------------------------

  void cards(float fade, float sink) {
    struct CardSpec {
      float dx, dy, tilt;
    };
    static constexpr CardSpec kCards[3] = {{-22, -58, -9}, {20, -8, 6}, {-4, 46, -2}};
    const bool busy = state.screen.kind == Screen::Progress;

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
      if (hc != nullptr) {
        // High contrast: the card in outline only, no shadow; its body is
        // filled with the background so that the cards still cover each other.
        const Color ink = faded(pal.text_main, body);
        canvas.fill_rounded_rect(left, top, 212, 86, 18, faded(pal.surface, body), tilt);
        outline(left, top, 212, 86, 18, 1, ink, tilt);
        outline(left + 16, top + 16, 28, 28, 14, 1, ink, tilt);
        outline(left + 54, top + 20, 74, 8, 4, 1, ink, tilt);
        outline(left + 54, top + 34, 46, 6, 3, 1, ink, tilt);
        outline(left + 18, top + 55, 150, 6, 3, 1, ink, tilt);
        outline(left + 18, top + 67, 104, 6, 3, 1, ink, tilt);
      } else {
        card_fills(i, left, top, a, tilt);
      }

      const float ix = left + 178;
      const float iy = top + 26;
      if (i == 0) heart(ix, iy, body, tilt);
      if (i == 1) hash_sign(ix, iy, body, tilt);
      if (i == 2) speech_bubble(ix, iy, body, tilt);
    }
  }

  // The card's fills in the themes: shadow, body, avatar dot and text bars.
  void card_fills(int i, float left, float top, float a, const Transform& tilt) {
    const Color avatars[3] = {pal.avatar_1, pal.avatar_2, pal.avatar_3};
    const std::uint8_t body = alpha_from(a);
    const Color surface = faded(pal.surface, body);
    // Once the card is opaque its body overwrites what lies under it, so
    // the shadow layers leave out the pixels the body covers completely: the
    // same picture with most of the shadows' blending saved.
    std::optional<Coverage> body_shape;
    if (surface.a == 255) body_shape = canvas.rasterize_rounded_rect(left, top, 212, 86, 18, tilt);

    // A soft shadow from seven widening, increasingly faint layers.
    const float b = alpha_from(std::min(0.16f * a, 1.0f));
    for (int j = 0; j < 7; ++j) {
      const float g = 1.5f + 2.2f * static_cast<float>(j);
      const float layer = std::clamp(0.07857143f * (1 - 0.6f * static_cast<float>(j) / 7), 0.0f, 1.0f);
      const auto alpha = static_cast<std::uint8_t>(std::clamp(std::round(layer * b), 0.0f, 255.0f));
      canvas.fill_rounded_rect(left - g, top - g + 6, 212 + 2 * g, 86 + 2 * g, 18 + g,
                               pal.shadow.with_alpha(alpha), tilt, body_shape ? &*body_shape : nullptr);
    }

    if (body_shape) {
      canvas.fill_coverage(*body_shape, surface);
    } else {
      canvas.fill_rounded_rect(left, top, 212, 86, 18, surface, tilt);
    }
    canvas.fill_circle(left + 30, top + 30, 14, faded(avatars[i], body), tilt);
    canvas.fill_rounded_rect(left + 54, top + 20, 74, 8, 4, faded(pal.text_main, alpha_from(0.82f * a)), tilt);
    canvas.fill_rounded_rect(left + 54, top + 34, 46, 6, 3, faded(pal.text_muted, alpha_from(0.45f * a)), tilt);
    const Color faint = faded(pal.text_muted, alpha_from(0.26f * a));
    canvas.fill_rounded_rect(left + 18, top + 55, 150, 6, 3, faint, tilt);
    canvas.fill_rounded_rect(left + 18, top + 67, 104, 6, 3, faint, tilt);
  }

  void heart(float ix, float iy, std::uint8_t a, const Transform& tilt) {
    Path p;
    p.move_to(ix, iy + 8);
    p.cubic_to(ix - 11, iy + 1, ix - 9, iy - 9, ix - 4.5f, iy - 8);
    p.cubic_to(ix - 2, iy - 7.5f, ix - 0.6f, iy - 5.5f, ix, iy - 4.2f);
    p.cubic_to(ix + 0.6f, iy - 5.5f, ix + 2, iy - 7.5f, ix + 4.5f, iy - 8);
    p.cubic_to(ix + 9, iy - 9, ix + 11, iy + 1, ix, iy + 8);
    p.close();
    canvas.fill_path(p, faded(pal.highlight, a), tilt);
  }

  void hash_sign(float ix, float iy, std::uint8_t a, const Transform& tilt) {
    canvas.fill_rounded_rect(ix - 18, iy - 10, 36, 20, 10, faded(pal.accent_soft, a), tilt);
    // One path, so the crossings are not blended twice while the card fades.
    Path p;
    p.move_to(ix - 3, iy - 5);
    p.line_to(ix - 5, iy + 5);
    p.move_to(ix + 4, iy - 5);
    p.line_to(ix + 2, iy + 5);
    p.move_to(ix - 7, iy - 1.8f);
    p.line_to(ix + 6, iy - 1.8f);
    p.move_to(ix - 8, iy + 1.8f);
    p.line_to(ix + 5, iy + 1.8f);
    canvas.stroke_path(p, 1.6f, faded(pal.accent, a), tilt);
  }

  void speech_bubble(float ix, float iy, std::uint8_t a, const Transform& tilt) {
    Path p;
    p.move_to(ix - 8, iy + 7);
    p.line_to(ix - 6.5f, iy + 3);
    p.cubic_to(ix - 10.5f, iy - 3, ix - 6, iy - 8, ix, iy - 8);
    p.cubic_to(ix + 6, iy - 8, ix + 10, iy - 4, ix + 9, iy);
    p.cubic_to(ix + 8, iy + 5, ix + 2, iy + 8.5f, ix - 4, iy + 5.5f);
    p.close();
    canvas.stroke_path(p, 1.8f, faded(pal.success, a), tilt);
  }

  void status_badge() {
    const bool error = state.screen.kind == Screen::Error;
    const bool done = state.screen.kind == Screen::Done && state.mode.kind != Mode::Remove;
    if (!error && !done) return;
    const float k = ease_out_back(2 * d);
    constexpr float bx = 566;
    constexpr float by = 176;
    // The halo in the background colour cuts the badge out of the cards.
    canvas.fill_circle(bx, by, 25 * k, pal.background);
    canvas.fill_circle(bx, by, 22 * k, error ? pal.highlight : pal.success);
    if (k <= 0.3f) return;
    if (error) {
      canvas.fill_rounded_rect(564.25f, by - 10 * k, 3.5f, 12 * k, 1.75f, on_accent());
      canvas.fill_circle(bx, by + 7.5f * k, 2.2f * k, on_accent());
    } else {
      Path check;
      check.move_to(bx - 8.5f * k, by + 0.5f * k);
      check.line_to(bx - 2.5f * k, by + 6.5f * k);
      check.line_to(bx + 9 * k, by - 6 * k);
      canvas.stroke_path(check, 3.2f, on_accent());
    }
  }

  void header() {
    const float h = ease_out_cubic(t / kEntranceSeconds);
    const float y0 = 64 + 10 * (1 - h);
    const std::uint8_t a = alpha_from(h);
    if (a == 0) return;

    // The logo: a tile with a white plus and a hooked stroke, drawn on a
    // 48-unit design grid scaled to the 56-unit tile.
    canvas.fill_rounded_rect(48, y0, 56, 56, 14, (hc != nullptr ? hc->highlight : kLogoTile).with_alpha(a));
    const Color glyph = on_accent().with_alpha(a);
    canvas.fill_rect(70.1667f, y0 + 9.3333f, 8.1667f, 23.3333f, glyph);
    canvas.fill_rect(60.8333f, y0 + 21, 30.3333f, 8.1667f, glyph);
    Path hook;
    hook.move_to(22.5f, 27.5f);
    hook.line_to(22.5f, 28);
    hook.cubic_to(22.5f, 32.7f, 26.3f, 36.5f, 31, 36.5f);
    hook.line_to(34, 36.5f);
    const Transform grid = Transform::scale(56.0f / 48.0f, 56.0f / 48.0f).then(Transform::translate(48, y0));
    canvas.stroke_path(hook, 7, glyph, grid);

    draw(46, y0 + 108, kProductName, 40, kFontExtraBold, faded(pal.text_main, a), -1);
    if (state.strings != nullptr) {
      const std::string subtitle = fill_version(text(StringId::Subtitle), state.version, {});
      draw_fitted(48, y0 + 138, subtitle, kHeaderTextLimit, 13.5f, kFontMedium, faded(pal.text_muted, a));
    }
    if (state.mode.kind == Mode::Update && state.strings != nullptr) {
      const std::string badge =
          fill_version(text(StringId::UpdateFrom), state.version, state.mode.installed_version);
      // The pill's right end, 12 units past the text, keeps the room.
      const FittedText fitted = fit_before(fonts, badge, 60, kHeaderTextLimit - 12, 12, kFontBold);
      canvas.fill_rounded_rect(48, y0 + 154, fitted.width + 24, 26, 13, faded(pal.accent_soft, a));
      if (hc != nullptr) outline(48, y0 + 154, fitted.width + 24, 26, 13, 1, faded(pal.text_main, a));
      draw(60, y0 + 171.5f, fitted.text, fitted.size, kFontBold, faded(pal.accent_on_soft, a));
    }
  }

  // --- Footer content ---------------------------------------------------------

  void primary_button() {
    const std::optional<LayoutRect> r = primary_button_rect(state, fonts);
    const std::optional<StringId> label = primary_label_id(state.screen, state.mode);
    if (!r || !label) return;
    // Removing is the one destructive choice, so its button is red.
    const bool danger = state.screen.kind == Screen::Welcome && state.mode.kind == Mode::Remove;
    const Color normal = danger ? pal.danger : pal.accent;
    const Color hover = danger ? pal.danger_hover : pal.accent_hover;
    const bool hovered = is(state.hover, HitKind::Primary);
    const bool pressed = is(state.pressed, HitKind::Primary);
    Color fill = normal;
    Color ink = on_accent();
    if (hovered) fill = hover;
    if (pressed) fill = mix(hover, kBlack, 0.12f);
    if (hc != nullptr && pressed) {
      // High contrast has no darker highlight: a press inverts the button.
      fill = hc->window_text;
      ink = hc->window;
    }
    canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, 23, fill);
    if (hc != nullptr) outline(r->x, r->y, r->w, r->h, 23, hovered || pressed ? 2 : 1, hc->window_text);
    const std::string_view s = text(*label);
    const float w = measure_text(fonts, s, kPrimaryLabelSize, kFontBold);
    draw(r->x + r->w / 2 - w / 2, kButtonBaseline, s, kPrimaryLabelSize, kFontBold, ink);
  }

  void secondary_button() {
    const std::optional<LayoutRect> r = secondary_button_rect(state, fonts);
    const std::optional<StringId> label = secondary_label_id(state.screen, state.mode);
    if (!r || !label) return;
    const bool pressed = is(state.pressed, HitKind::Secondary);
    const bool hovered = is(state.hover, HitKind::Secondary);
    Color ink = pal.text_main;
    if (hc != nullptr) {
      // High contrast: a button face with an outline, the highlight when in use.
      canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2, hovered || pressed ? hc->highlight : hc->button_face);
      outline(r->x, r->y, r->w, r->h, r->h / 2, hovered || pressed ? 2 : 1, hc->window_text);
      if (hovered || pressed) ink = hc->highlight_text;
    } else if (pressed) {
      canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2, pal.press_tint);
    } else if (hovered) {
      canvas.fill_rounded_rect(r->x, r->y, r->w, r->h, r->h / 2, pal.hover_tint);
    }
    const std::string_view s = text(*label);
    const float w = measure_text(fonts, s, kSecondaryLabelSize, kFontBold);
    draw(r->x + r->w / 2 - w / 2, kButtonBaseline, s, kSecondaryLabelSize, kFontBold, ink);
  }

  void welcome() {
    if (state.mode.kind == Mode::Remove) {
      draw_fitted(48, 336, text(StringId::RemoveQuestion), content_text_limit(state, fonts), 15, kFontBold,
                  pal.text_main);
    }
    for (std::uint32_t i = 0; i < state.options.size(); ++i) {
      const std::optional<LayoutRect> r = toggle_rect(state, fonts, i);
      const std::optional<FittedText> label = option_label(state, fonts, i);
      if (!r || !label) continue;
      const float p = unit(i < state.option_anim.size() ? state.option_anim[i] : 0.0f);
      const bool hovered = is(state.hover, HitKind::Toggle, i);
      Color track = pal.track;
      if (hovered && hc == nullptr) track = mix(track, pal.text_main, 0.1f);
      canvas.fill_rounded_rect(r->x + 6, r->y + 4, 36, 20, 10, mix(track, pal.accent, p));
      const float knob = r->x + 16 + 16 * p;
      if (hc != nullptr) {
        // High contrast: an outlined track, thicker under the pointer, and a
        // knob in the text colour of whatever it sits on.
        outline(r->x + 6, r->y + 4, 36, 20, 10, hovered ? 2 : 1, hc->window_text);
        canvas.fill_circle(knob, r->y + 14, 7.5f, mix(hc->window_text, hc->highlight_text, p));
      } else {
        canvas.fill_circle(knob, r->y + 14.6f, 7.6f, kKnobShadow);
        canvas.fill_circle(knob, r->y + 14, 7.5f, kWhite);
      }
      draw(r->x + kOptionLabelOffset, r->y + 18.5f, label->text, label->size, kFontMedium, pal.text_main);
    }
    primary_button();
  }

  void progress() {
    draw_fitted(48, 340, text(step_label(state.step)), content_text_limit(state, fonts), 14, kFontMedium,
                faded(pal.text_main, alpha_from(c)));

    const std::string percent = percent_text(state.progress_shown);
    const float pw = measure_text(fonts, percent, 13, kFontBold);
    draw(592 - pw, 340, percent, 13, kFontBold, pal.text_muted);

    canvas.fill_rounded_rect(kBarLeft, kBarTop, kBarWidth, kBarHeight, 4,
                             hc != nullptr ? pal.panel : pal.track.with_alpha(0xB3));
    // The fill never leaves the track, and even at 0 a stub shows where the
    // bar will grow from.
    const float fw = std::max(kBarWidth * unit(state.progress_shown), 8.0f);
    canvas.fill_rounded_rect(kBarLeft, kBarTop, fw, kBarHeight, 4, pal.accent);
    if (hc != nullptr) {
      // High contrast: the track outlined, and no shimmer over the highlight.
      outline(kBarLeft, kBarTop, kBarWidth, kBarHeight, 4, 1, hc->window_text);
      return;
    }

    // A 60-unit highlight sweeps over the filled part every 1/0.9 s.
    const float sweep = 0.9f * t;
    const float f = sweep - std::floor(sweep);
    const float sx = kBarLeft - 60 + (fw + 60) * f;
    const float left = std::max(sx, kBarLeft);
    const float right = std::min(sx + 60, kBarLeft + fw);
    if (right > left) canvas.fill_rounded_rect(left, kBarTop, right - left, kBarHeight, 4, kShimmer);
  }

  void outcome() {
    const OutcomeText shown = outcome_text(state, fonts);
    const float o = 6 * (1 - c);
    const std::uint8_t a = alpha_from(c);
    const float buttons_left = content_text_limit(state, fonts);
    draw_fitted(48, 342 + o, text(shown.title), buttons_left, 17, kFontBold, faded(pal.text_main, a), -0.2f);
    // A single word too long for any line (a path in an error text) is fitted.
    for (size_t j = 0; j < shown.body_lines.size(); ++j) {
      draw_fitted(48, 366 + 18 * static_cast<float>(j) + o, shown.body_lines[j], buttons_left, kBodySize,
                  kFontMedium, faded(pal.text_muted, a));
    }
    primary_button();
    secondary_button();
  }

  // --- Keyboard focus ---------------------------------------------------------

  // A 2-unit ring in the text colour, 3 units clear of the focused element,
  // rounded like the element (every focusable element is a pill of its own
  // height). Only after the keyboard was used, so mouse users see no change.
  void focus_ring() {
    if (!state.focus_visible || state.focus.is_nothing()) return;
    for (const HitRegion& region : layout_regions(state, fonts)) {
      if (region.element() != state.focus) continue;
      constexpr float kGap = 3;
      constexpr float kWidth = 2;
      constexpr float kMiddle = kGap + kWidth / 2;  // the stroke is centred on the path
      Path ring;
      ring.add_rounded_rect(region.x - kMiddle, region.y - kMiddle, region.w + 2 * kMiddle,
                            region.h + 2 * kMiddle, region.h / 2 + kMiddle);
      canvas.stroke_path(ring, kWidth, pal.text_main);
      return;
    }
  }

  // --- Title bar ----------------------------------------------------------------

  void title_bar() {
    const LayoutRect& min = kMinimizeRect;
    if (is(state.pressed, HitKind::Minimize)) {
      canvas.fill_rect(min.x, min.y, min.w, min.h, pal.press_tint);
    } else if (is(state.hover, HitKind::Minimize)) {
      canvas.fill_rect(min.x, min.y, min.w, min.h, pal.hover_tint);
    }
    // Closing is refused while an operation runs, so the close button
    // neither lights up nor looks available then.
    const bool busy = state.screen.kind == Screen::Progress;
    const bool red = !busy && is(state.hover, HitKind::Close);
    if (red) {
      const LayoutRect& r = kCloseRect;
      Color fill = is(state.pressed, HitKind::Close) ? kClosePressed : kCloseHover;
      if (hc != nullptr) fill = hc->highlight;
      canvas.fill_rect(r.x, r.y, r.w, r.h, fill);
    }

    Color glyph = pal.text_main.with_alpha(state.active ? 0xFF : 0x8C);
    if (hc != nullptr && !state.active) glyph = hc->gray_text;
    Color dash_ink = glyph;
    if (hc != nullptr && (is(state.pressed, HitKind::Minimize) || is(state.hover, HitKind::Minimize))) {
      dash_ink = hc->highlight_text;
    }
    Path dash;
    dash.move_to(566, 18);
    dash.line_to(576, 18);
    canvas.stroke_path(dash, 1, dash_ink);

    Color cross = glyph;
    if (red) {
      cross = on_accent();
    } else if (busy) {
      cross = pal.text_main.with_alpha(static_cast<std::uint8_t>(std::lround(0.3 * glyph.a)));
      if (hc != nullptr) cross = hc->gray_text;
    }
    Path x;
    x.move_to(612, 13);
    x.line_to(622, 23);
    x.move_to(622, 13);
    x.line_to(612, 23);
    canvas.stroke_path(x, 1, cross);
  }

  void paint() {
    canvas.pixmap.fill(pal.background);

    // After a removal the cards fade and sink: the app is gone.
    float fade = 1;
    float sink = 0;
    if (state.screen.kind == Screen::Done && state.mode.kind == Mode::Remove) {
      const float l = ease_out_cubic(d / kLeaveSeconds);
      fade = 1 - 0.7f * l;
      sink = 18 * l;
    }
    cards(fade, sink);
    status_badge();
    header();

    canvas.fill_rect(0, kFooterTop, kCanvasWidth, kCanvasHeight - kFooterTop, pal.panel);
    canvas.fill_rect(0, kFooterTop, kCanvasWidth, 1, pal.line);

    if (state.strings != nullptr) {
      switch (state.screen.kind) {
        case Screen::Welcome: welcome(); break;
        case Screen::Progress: progress(); break;
        case Screen::Done:
        case Screen::Error: outcome(); break;
      }
      focus_ring();
    }
    title_bar();
  }
};

}  // namespace

std::vector<std::string> wrap_body_lines(const FontSet& fonts, std::string_view text, float max_width) {
  std::vector<std::string> lines;
  std::string line;
  bool first = true;
  size_t start = 0;
  while (true) {
    const size_t space = text.find(' ', start);
    const size_t length = space == std::string_view::npos ? std::string_view::npos : space - start;
    const std::string_view word = text.substr(start, length);
    if (first) {
      line.assign(word);
      first = false;
    } else {
      std::string joined = line;
      joined += ' ';
      joined += word;
      if (measure_text(fonts, joined, kBodySize, kFontMedium) <= max_width) {
        line = std::move(joined);
      } else {
        lines.push_back(std::move(line));
        line.assign(word);
      }
    }
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  if (!text.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string progress_percent_text(float progress) { return percent_text(progress); }

OutcomeText outcome_text(const UiState& state, const FontSet& fonts) {
  OutcomeText shown{StringId::ErrorTitle, {}};
  std::string_view body = state.screen.message;
  if (state.screen.kind == Screen::Done) {
    const bool removed = state.mode.kind == Mode::Remove;
    shown.title = removed ? StringId::RemovedTitle : StringId::DoneTitle;
    body = label_text(state, removed ? StringId::RemovedHint : StringId::DoneHint);
  }
  // The body wraps in the room left of the buttons, with a little air.
  const float room = content_text_limit(state, fonts) - kContentLeft;
  shown.body_lines = wrap_body_lines(fonts, body, room - 16);
  if (shown.body_lines.size() > kMaxBodyLines) shown.body_lines.resize(kMaxBodyLines);
  return shown;
}

void paint_screen(const UiState& state, Pixmap& pixmap, FontSet& fonts, float scale) {
  const float t = state.clock;
  const float d = state.clock - state.screen_since;
  const SystemColours* hc = state.high_contrast ? &*state.high_contrast : nullptr;
  const Palette contrast = hc != nullptr ? high_contrast_palette(*hc) : Palette{};
  Painter painter{state, Canvas{pixmap, scale}, fonts, hc != nullptr ? contrast : palette_for(state.dark), t, d,
                  ease_out_cubic(d / kContentSeconds), hc};
  painter.paint();
}

}  // namespace vestrana
