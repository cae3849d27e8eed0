#include "ui/paint_screen.h"

#include "ui/animation.h"
#include "ui/header_art.h"
#include "ui/layout.h"
#include "ui/paint_context.h"
#include "ui/paint_controls.h"
#include "ui/palette.h"
#include "ui/screen_text.h"

namespace vestrana {
namespace {

constexpr float kFooterTop = 292;

struct Frame {
  const PaintContext& p;
  TextAnchors anchors;
  std::vector<ScreenText> texts;

  void draw(TextPart part, Color color, uint32_t index = 0) const {
    if (const ScreenText* text = find_text(texts, part, index)) p.draw(*text, color);
  }

  void header(float h) const {
    const std::uint8_t a = alpha_from(h);
    if (a == 0) return;
    paint_logo(p, anchors.header_top, a);
    draw(TextPart::ProductName, faded(p.pal.text_main, a));
    draw(TextPart::Subtitle, faded(p.pal.text_muted, a));
    if (const ScreenText* badge = find_text(texts, TextPart::UpdateBadge)) {
      const LayoutRect& pill = *badge->pill;
      p.canvas.fill_rounded_rect(pill.x, pill.y, pill.w, pill.h, 13, faded(p.pal.accent_soft, a));
      if (p.hc != nullptr) p.outline(pill.x, pill.y, pill.w, pill.h, 13, 1, faded(p.pal.text_main, a));
      p.draw(*badge, faded(p.pal.accent_on_soft, a));
    }
  }

  void buttons() const {
    if (const ScreenText* label = find_text(texts, TextPart::PrimaryLabel)) paint_primary_button(p, *label);
    if (const ScreenText* label = find_text(texts, TextPart::SecondaryLabel)) paint_secondary_button(p, *label);
  }

  void welcome() const {
    draw(TextPart::RemoveQuestion, p.pal.text_main);
    for (uint32_t i = 0; i < p.state.options.size(); ++i) {
      const ScreenText* label = find_text(texts, TextPart::OptionLabel, i);
      if (label == nullptr) continue;
      paint_toggle(p, i);
      p.draw(*label, p.pal.text_main);
    }
    buttons();
  }

  void progress() const {
    draw(TextPart::StepText, faded(p.pal.text_main, alpha_from(p.c)));
    draw(TextPart::Percent, p.pal.text_muted);
    paint_progress_bar(p);
  }

  void outcome() const {
    const std::uint8_t a = alpha_from(p.c);
    draw(TextPart::Heading, faded(p.pal.text_main, a));
    draw(TextPart::Body, faded(p.pal.text_muted, a));
    buttons();
  }
};

void paint_frame(const PaintContext& p) {
  p.canvas.pixmap.fill(p.pal.background);

  // After a removal the cards fade and sink: the app is gone.
  float fade = 1;
  float sink = 0;
  if (p.state.screen.kind == Screen::Done && p.state.mode.kind == Mode::Remove) {
    const float l = ease_out_cubic(p.d / kLeaveSeconds);
    fade = 1 - 0.7f * l;
    sink = 18 * l;
  }
  paint_cards(p, fade, sink);
  paint_status_badge(p);

  // The header rises 10 units into place as the window opens; the done and
  // error texts settle 6 units as their screen comes up.
  const float h = ease_out_cubic(p.t / kEntranceSeconds);
  const TextAnchors anchors{64 + 10 * (1 - h), 6 * (1 - p.c)};
  const Frame frame{p, anchors, screen_texts(p.state, p.fonts, anchors)};
  frame.header(h);

  p.canvas.fill_rect(0, kFooterTop, kCanvasWidth, kCanvasHeight - kFooterTop, p.pal.panel);
  p.canvas.fill_rect(0, kFooterTop, kCanvasWidth, 1, p.pal.line);

  if (p.state.strings != nullptr) {
    switch (p.state.screen.kind) {
      case Screen::Welcome: frame.welcome(); break;
      case Screen::Progress: frame.progress(); break;
      case Screen::Done:
      case Screen::Error: frame.outcome(); break;
    }
    paint_focus_ring(p);
  }
  paint_title_bar(p);
}

}  // namespace

void paint_screen(const UiState& state, Pixmap& pixmap, FontSet& fonts, float scale) {
  const float d = state.clock - state.screen_since;
  const SystemColours* hc = state.high_contrast ? &*state.high_contrast : nullptr;
  const Palette contrast = hc != nullptr ? high_contrast_palette(*hc) : Palette{};
  const PaintContext context{state,
                             Canvas{pixmap, scale},
                             fonts,
                             hc != nullptr ? contrast : palette_for(state.dark),
                             state.clock,
                             d,
                             ease_out_cubic(d / kContentSeconds),
                             hc};
  paint_frame(context);
}

}  // namespace vestrana
