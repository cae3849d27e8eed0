#include "ui/layout.h"

#include <algorithm>

#include "paint/text.h"

namespace vestrana {

std::optional<StringId> primary_label_id(const Screen& screen, const Mode& mode) {
  switch (screen.kind) {
    case Screen::Welcome:
      switch (mode.kind) {
        case Mode::Install: return StringId::ButtonInstall;
        case Mode::Update: return StringId::ButtonUpdate;
        case Mode::Remove: return StringId::ButtonRemove;
      }
      return std::nullopt;
    case Screen::Progress: return std::nullopt;
    // After a removal there is nothing left to open, so the one button closes.
    case Screen::Done: return mode.kind == Mode::Remove ? StringId::ButtonClose : StringId::ButtonOpen;
    // A refusal has nothing to try again: its one button closes.
    case Screen::Error: return screen.can_retry ? StringId::ButtonTryAgain : StringId::ButtonClose;
  }
  return std::nullopt;
}

std::optional<StringId> secondary_label_id(const Screen& screen, const Mode& mode) {
  switch (screen.kind) {
    case Screen::Done:
      if (mode.kind == Mode::Remove) return std::nullopt;
      return StringId::ButtonClose;
    case Screen::Error:
      if (!screen.can_retry) return std::nullopt;
      return StringId::ButtonClose;
    case Screen::Welcome:
    case Screen::Progress: return std::nullopt;
  }
  return std::nullopt;
}

std::optional<StringId> option_label_id(const Screen& screen, const Mode& mode, uint32_t index) {
  if (screen.kind != Screen::Welcome) return std::nullopt;
  if (mode.kind == Mode::Remove) {
    if (index == 0) return StringId::OptionDeleteData;
    return std::nullopt;
  }
  if (index == 0) return StringId::OptionDesktopShortcut;
  if (index == 1) return StringId::OptionAutostart;
  return std::nullopt;
}

std::string_view label_text(const UiState& state, StringId id) {
  if (state.strings == nullptr) return {};
  return (*state.strings)[id];
}

namespace {

float primary_width(const UiState& state, const FontSet& fonts, StringId label) {
  float text = measure_text(fonts, label_text(state, label), kPrimaryLabelSize, kFontBold);
  return std::max(text + 64, kPrimaryMinWidth);
}

}  // namespace

std::optional<LayoutRect> primary_button_rect(const UiState& state, const FontSet& fonts) {
  std::optional<StringId> label = primary_label_id(state.screen, state.mode);
  if (!label) return std::nullopt;
  float w = primary_width(state, fonts, *label);
  return LayoutRect{kButtonRight - w, kButtonTop, w, kButtonHeight};
}

std::optional<LayoutRect> secondary_button_rect(const UiState& state, const FontSet& fonts) {
  std::optional<StringId> label = secondary_label_id(state.screen, state.mode);
  std::optional<StringId> primary = primary_label_id(state.screen, state.mode);
  if (!label || !primary) return std::nullopt;
  float w = primary_width(state, fonts, *primary);
  float w2 = measure_text(fonts, label_text(state, *label), kSecondaryLabelSize, kFontBold) + 40;
  return LayoutRect{kButtonRight - w - kButtonGap - w2, kButtonTop, w2, kButtonHeight};
}

float content_text_limit(const UiState& state, const FontSet& fonts) {
  if (state.screen.kind == Screen::Progress) {
    return kButtonRight - measure_text(fonts, "100 %", 13, kFontBold);
  }
  float left = kButtonRight;
  if (std::optional<LayoutRect> r = primary_button_rect(state, fonts)) left = r->x;
  if (std::optional<LayoutRect> r = secondary_button_rect(state, fonts)) left = std::min(left, r->x);
  return left;
}

FittedText fit_before(const FontSet& fonts, std::string_view text, float x, float limit, float size, int font,
                      float letter_spacing) {
  return fit_text(fonts, text, size, font, limit - kTextRoom - x, kMinTextSize, letter_spacing);
}

std::optional<FittedText> option_label(const UiState& state, const FontSet& fonts, uint32_t index) {
  if (index >= state.options.size()) return std::nullopt;
  std::optional<StringId> label = option_label_id(state.screen, state.mode, index);
  if (!label) return std::nullopt;
  return fit_before(fonts, label_text(state, *label), kOptionLeft + kOptionLabelOffset,
                    content_text_limit(state, fonts), kOptionLabelSize, kFontMedium);
}

std::optional<LayoutRect> toggle_rect(const UiState& state, const FontSet& fonts, uint32_t index) {
  std::optional<FittedText> label = option_label(state, fonts, index);
  if (!label) return std::nullopt;
  // The removal question takes the first row, so its single option sits lower.
  float y = state.mode.kind == Mode::Remove ? 352 : 324 + 34 * static_cast<float>(index);
  // The row covers the switch and the label as painted.
  float w = label->width + 58;
  // A label long enough to reach the primary button (the French autostart
  // text does) must not take the button's clicks: toggles are tested first,
  // so the row ends where the button begins.
  if (std::optional<LayoutRect> button = primary_button_rect(state, fonts)) {
    w = std::min(w, button->x - kOptionLeft);
  }
  return LayoutRect{kOptionLeft, y, w, kOptionHeight};
}

std::vector<HitRegion> layout_regions(const UiState& state, const FontSet& fonts) {
  std::vector<HitRegion> regions;
  regions.reserve(5);
  auto add = [&regions](HitKind kind, uint32_t index, const LayoutRect& r) {
    regions.push_back(HitRegion{kind, index, r.x, r.y, r.w, r.h});
  };
  add(HitKind::Minimize, 0, kMinimizeRect);
  // No close region while an operation runs: there is no cancel, and the
  // pointer over the dimmed glyph should neither highlight nor grab a click.
  if (state.screen.kind != Screen::Progress) add(HitKind::Close, 0, kCloseRect);
  if (state.screen.kind == Screen::Welcome) {
    for (uint32_t i = 0; i < state.options.size(); ++i) {
      if (std::optional<LayoutRect> r = toggle_rect(state, fonts, i)) add(HitKind::Toggle, i, *r);
    }
  }
  if (std::optional<LayoutRect> r = primary_button_rect(state, fonts)) add(HitKind::Primary, 0, *r);
  if (std::optional<LayoutRect> r = secondary_button_rect(state, fonts)) {
    add(HitKind::Secondary, 0, *r);
  }
  return regions;
}

ElementRef hit_test(const UiState& state, const FontSet& fonts, float x, float y) {
  for (const HitRegion& region : layout_regions(state, fonts)) {
    if (region.rect().contains(x, y)) return region.element();
  }
  return ElementRef::nothing();
}

}  // namespace vestrana
