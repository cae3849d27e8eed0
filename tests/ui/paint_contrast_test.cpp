// The window in a high-contrast theme: every colour comes from the
// system's, and what the normal themes tell by fill alone is outlined.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ui/layout.h"
#include "ui/paint_probe.h"
#include "ui/paint_screen.h"
#include "ui/palette.h"
#include "ui/ui_test_names.h"

namespace vestrana {
namespace {

using namespace ui_test_names;
using namespace paint_probe;

// --- High contrast ---------------------------------------------------------------

// Six system colours that all share the blue value 0x80 and differ in red
// and green: every blend of them keeps that blue, so a pixel with any other
// blue shows a colour that did not come from the system, and the probes can
// tell which of the six painted a spot.
constexpr std::uint8_t kSchemeBlue = 0x80;
const SystemColours kScheme{.window = Color{0x00, 0x00, kSchemeBlue, 0xFF},
                            .window_text = Color{0xFF, 0xFF, kSchemeBlue, 0xFF},
                            .highlight = Color{0x00, 0xC0, kSchemeBlue, 0xFF},
                            .highlight_text = Color{0xFF, 0x00, kSchemeBlue, 0xFF},
                            .button_face = Color{0x40, 0x40, kSchemeBlue, 0xFF},
                            .gray_text = Color{0x80, 0xFF, kSchemeBlue, 0xFF}};

TEST(HighContrast, PaletteTakesEveryEntryFromTheSystemColours) {
  EXPECT_EQ(colour_from_colorref(0x00332211), (Color{0x11, 0x22, 0x33, 0xFF}));
  const Palette p = high_contrast_palette(kScheme);
  const Color entries[] = {p.background,  p.panel,          p.surface,    p.text_main,    p.text_muted,
                           p.line,        p.hover_tint,     p.press_tint, p.accent,       p.accent_hover,
                           p.accent_soft, p.accent_on_soft, p.danger,     p.danger_hover, p.track,
                           p.success,     p.highlight,      p.avatar_1,   p.avatar_2,     p.avatar_3};
  for (const Color& c : entries) {
    EXPECT_EQ(c.b, kSchemeBlue);
    EXPECT_EQ(c.a, 0xFF);
  }
  EXPECT_EQ(p.shadow.a, 0);
  // Text stands on the window colour, the accents are the highlight.
  EXPECT_EQ(p.background, kScheme.window);
  EXPECT_EQ(p.text_main, kScheme.window_text);
  EXPECT_EQ(p.text_muted, kScheme.window_text);
  EXPECT_EQ(p.accent, kScheme.highlight);
}

UiState contrast_state(Screen screen, Mode mode) {
  UiState s = make_state(std::move(screen), std::move(mode), false);
  s.high_contrast = kScheme;
  return s;
}

// Every screen in both modes of use, with an element hovered or pressed:
// nothing but the system colours and their blends appears.
TEST(HighContrast, EveryPixelComesFromTheSystemColours) {
  struct Scene {
    Screen screen;
    Mode mode;
    ElementRef hover;
    ElementRef pressed;
  };
  const Scene scenes[] = {
      {kWelcome, Mode::update("1.1.0"), kToggle1, kNothing},
      {kWelcome, kRemove, kPrimary, kPrimary},
      {kProgress, kInstall, kMinimize, kNothing},
      {kDone, kInstall, kClose, kClose},
      {kError, kInstall, kSecondary, kNothing},
  };
  for (float scale : {1.0f, 1.5f}) {
    for (const Scene& scene : scenes) {
      UiState s = contrast_state(scene.screen, scene.mode);
      s.hover = scene.hover;
      s.pressed = scene.pressed;
      s.options.assign(s.options.size(), true);
      s.option_anim.assign(s.options.size(), 0.5f);
      s.progress_shown = 0.6f;
      s.clock = 20.3f;  // the shimmer lies over the filled bar
      s.active = false;
      const Frame f = paint(s, scale);
      int foreign = 0;
      for (int y = 0; y < f.pixmap.height(); ++y) {
        for (int x = 0; x < f.pixmap.width(); ++x) foreign += std::abs(f.pixmap.pixel(x, y)[2] - kSchemeBlue) > 2;
      }
      EXPECT_EQ(foreign, 0) << "screen " << int{scene.screen.kind} << " mode " << int{scene.mode.kind} << " scale "
                            << scale;
    }
  }
}

// Each element shows in the role's colour, with an outline where the theme
// relies on a fill alone.
TEST(HighContrast, ElementsAreOutlinedAndFollowTheirRoles) {
  const SystemColours& c = kScheme;
  // Install welcome: option 0 on, option 1 off; Install at (424, 333, 168, 46).
  // Error: Close at (333.69, 333, 80.31, 46).
  const Probe probes[] = {
      {"background", kWelcome, kInstall, kNothing, kNothing, 10, 250, opaque(c.window)},
      {"panel", kWelcome, kInstall, kNothing, kNothing, 10, 400, opaque(c.window)},
      {"separator", kWelcome, kInstall, kNothing, kNothing, 10, 292.2f, opaque(c.window_text)},
      {"primary fill", kWelcome, kInstall, kNothing, kNothing, 438, 356, opaque(c.highlight)},
      {"primary outline", kWelcome, kInstall, kNothing, kNothing, 508, 333.5f, opaque(c.window_text)},
      {"primary inside the outline", kWelcome, kInstall, kNothing, kNothing, 508, 334.5f, opaque(c.highlight)},
      {"hovered primary: thicker outline", kWelcome, kInstall, kPrimary, kNothing, 508, 334.5f, opaque(c.window_text)},
      {"pressed primary inverts", kWelcome, kInstall, kPrimary, kPrimary, 438, 356, opaque(c.window_text)},
      {"toggle on: track", kWelcome, kInstall, kNothing, kNothing, 54, 338, opaque(c.highlight)},
      {"toggle on: knob", kWelcome, kInstall, kNothing, kNothing, 74, 338, opaque(c.highlight_text)},
      {"toggle on: outline", kWelcome, kInstall, kNothing, kNothing, 66, 328.5f, opaque(c.window_text)},
      {"toggle off: track", kWelcome, kInstall, kNothing, kNothing, 76, 372, opaque(c.button_face)},
      {"toggle off: knob", kWelcome, kInstall, kNothing, kNothing, 58, 372, opaque(c.window_text)},
      {"toggle off: outline", kWelcome, kInstall, kNothing, kNothing, 66, 362.5f, opaque(c.window_text)},
      {"toggle off: inside the outline", kWelcome, kInstall, kNothing, kNothing, 66, 363.5f, opaque(c.button_face)},
      {"hovered toggle: thicker outline", kWelcome, kInstall, kToggle1, kNothing, 66, 363.5f, opaque(c.window_text)},
      {"secondary face", kError, kInstall, kNothing, kNothing, 340, 356, opaque(c.button_face)},
      {"secondary outline", kError, kInstall, kNothing, kNothing, 374, 333.5f, opaque(c.window_text)},
      {"hovered secondary", kError, kInstall, kSecondary, kNothing, 340, 356, opaque(c.highlight)},
      {"progress fill", kProgress, kInstall, kNothing, kNothing, 60, 360, opaque(c.highlight)},
      {"progress track", kProgress, kInstall, kNothing, kNothing, 500, 360, opaque(c.window)},
      {"progress outline", kProgress, kInstall, kNothing, kNothing, 500, 356.5f, opaque(c.window_text)},
      {"close while busy", kProgress, kInstall, kNothing, kNothing, 617, 18, opaque(c.gray_text)},
  };
  auto ready = [](UiState& s) {
    s.high_contrast = kScheme;
    s.options = {true, false};
    s.option_anim = {1, 0};
    s.progress_shown = 0.5f;
    s.clock = 20 + 0.5f / 0.9f;  // the shimmer would lie over x 290..350
  };
  for (const Probe& p : probes) check(p, false, 1, ready);
  UiState s = make_state(kWelcome, kInstall, false);
  ready(s);
  const Frame f = paint(s, 1);
  bool subtitle_ink = false;
  for (int x = 48; x < 300; ++x) subtitle_ink |= f.at(static_cast<float>(x), 198) == opaque(c.window_text);
  EXPECT_TRUE(subtitle_ink);
}

// Cards in outline only: their edges in the text colour, their insides and
// the room where the shadows fall in the window colour.
TEST(HighContrast, CardsAreOutlinesWithoutShadows) {
  const float t = (2 * 3.14159265f - 2.8f) / 1.1f;  // card 2 does not bob
  UiState s = contrast_state(kWelcome, kInstall);
  s.clock = t;
  s.screen_since = t;
  const Frame f = paint(s, 1);
  // Card 2: centre (470, 204), 212 x 86, tilted by -2 degrees.
  EXPECT_EQ(f.at(550, 229), opaque(kScheme.window));  // inside, right of the bars
  EXPECT_EQ(f.at(470, 204 + 43 + 6), opaque(kScheme.window));  // where the shadow would be
  int edge = 0;
  for (float y = 240; y < 252; y += 1) edge += f.at(470, y)[0] > 0xC0;  // mostly window_text
  EXPECT_GT(edge, 0) << "the bottom edge of card 2";
}

}  // namespace
}  // namespace vestrana
