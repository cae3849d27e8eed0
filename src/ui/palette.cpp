#include "ui/palette.h"

namespace vestrana {
namespace {

constexpr Palette kLight{
    .background = Color::rgb(0xF1F2F7),
    .panel = Color::rgb(0xFFFFFF),
    .surface = Color::rgb(0xFFFFFF),
    .text_main = Color::rgb(0x15162B),
    .text_muted = Color::rgb(0x5A5D75),
    .line = Color::rgb(0xE4E5ED),
    .hover_tint = Color::rgb(0x15162B).with_alpha(0x0F),
    .press_tint = Color::rgb(0x15162B).with_alpha(0x1C),
    .accent = Color::rgb(0x5847F0),
    .accent_hover = Color::rgb(0x4A39DD),
    .accent_soft = Color::rgb(0xEEECFF),
    .accent_on_soft = Color::rgb(0x4436D4),
    .danger = Color::rgb(0xD6234F),
    .danger_hover = Color::rgb(0xBB1C43),
    .track = Color::rgb(0xD9DBE8),
    .success = Color::rgb(0x14A472),
    .highlight = Color::rgb(0xEE4380),
    .shadow = Color::rgb(0x17182E),
    .avatar_1 = Color::rgb(0xF5D6CB),
    .avatar_2 = Color::rgb(0xD7E3FF),
    .avatar_3 = Color::rgb(0xCFEEE0),
};

constexpr Palette kDark{
    .background = Color::rgb(0x0C0D18),
    .panel = Color::rgb(0x15162A),
    .surface = Color::rgb(0x1D1F38),
    .text_main = Color::rgb(0xECEDF6),
    .text_muted = Color::rgb(0x9B9EBA),
    .line = Color::rgb(0x252742),
    .hover_tint = Color::rgb(0xECEDF6).with_alpha(0x12),
    .press_tint = Color::rgb(0xECEDF6).with_alpha(0x20),
    .accent = Color::rgb(0x6B5BFF),
    .accent_hover = Color::rgb(0x7C6BFF),
    .accent_soft = Color::rgb(0x272451),
    .accent_on_soft = Color::rgb(0xC0B7FF),
    .danger = Color::rgb(0xE5486D),
    .danger_hover = Color::rgb(0xF0607F),
    .track = Color::rgb(0x3A3D60),
    .success = Color::rgb(0x2AC48F),
    .highlight = Color::rgb(0xFF6B9D),
    .shadow = Color::rgb(0x000000),
    .avatar_1 = Color::rgb(0x5A4048),
    .avatar_2 = Color::rgb(0x33406A),
    .avatar_3 = Color::rgb(0x274A3F),
};

}  // namespace

const Palette& palette_for(bool dark) { return dark ? kDark : kLight; }

Color colour_from_colorref(std::uint32_t colorref) {
  return Color{static_cast<std::uint8_t>(colorref & 0xFF), static_cast<std::uint8_t>((colorref >> 8) & 0xFF),
               static_cast<std::uint8_t>((colorref >> 16) & 0xFF), 0xFF};
}

Palette high_contrast_palette(const SystemColours& c) {
  return Palette{
      .background = c.window,
      .panel = c.window,
      .surface = c.window,
      .text_main = c.window_text,
      .text_muted = c.window_text,
      .line = c.window_text,
      .hover_tint = c.highlight,
      .press_tint = c.highlight,
      .accent = c.highlight,
      .accent_hover = c.highlight,
      .accent_soft = c.window,
      .accent_on_soft = c.window_text,
      .danger = c.highlight,
      .danger_hover = c.highlight,
      .track = c.button_face,
      .success = c.highlight,
      .highlight = c.highlight,
      .shadow = c.window.with_alpha(0),
      .avatar_1 = c.window,
      .avatar_2 = c.window,
      .avatar_3 = c.window,
  };
}

}  // namespace vestrana
