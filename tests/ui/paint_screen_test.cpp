#include "ui/paint_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "paint/text.h"
#include "ui/animation.h"
#include "ui/layout.h"
#include "ui/palette.h"
#include "ui/screen_text.h"
#include "ui/strings.h"
#include "ui/paint_probe.h"
#include "ui/ui_test_names.h"

namespace vestrana {
namespace {

using namespace ui_test_names;
using namespace paint_probe;

// --- Probes at scales 1 and 2, light and dark ---------------------------------

struct Look {
  float scale;
  bool dark;
};

class PaintProbe : public ::testing::TestWithParam<Look> {
 protected:
  const Palette& pal() const { return palette_for(GetParam().dark); }
  UiState state(Screen screen, Mode mode = kInstall) {
    return make_state(std::move(screen), std::move(mode), GetParam().dark);
  }
  Frame paint(UiState& s) { return vestrana::paint(s, GetParam().scale); }
  void check(const Probe& probe) { vestrana::check(probe, GetParam().dark, GetParam().scale); }
};

// The settled screens' fixed colours, and the buttons' looks under the
// pointer. Install's primary button spans (424, 333, 168, 46); the probe sits
// left of the label, well inside the rounded end.
TEST_P(PaintProbe, ElementsShowTheirColours) {
  const Palette& p = pal();
  const Px pressed_accent = opaque(mix(p.accent_hover, Color::rgb(0), 0.12f));
  const Px pressed_danger = opaque(mix(p.danger_hover, Color::rgb(0), 0.12f));
  const Probe probes[] = {
      {"background", kWelcome, kInstall, kNothing, kNothing, 10, 250, opaque(p.background)},
      {"background above the line", kWelcome, kInstall, kNothing, kNothing, 10, 291.5f, opaque(p.background)},
      {"separator", kWelcome, kInstall, kNothing, kNothing, 10, 292.2f, opaque(p.line)},
      {"panel below the line", kWelcome, kInstall, kNothing, kNothing, 10, 293.2f, opaque(p.panel)},
      {"panel corner", kWelcome, kInstall, kNothing, kNothing, 630, 415, opaque(p.panel)},
      {"primary", kWelcome, kInstall, kNothing, kNothing, 438, 356, opaque(p.accent)},
      {"primary hovered", kWelcome, kInstall, kPrimary, kNothing, 438, 356, opaque(p.accent_hover)},
      {"primary pressed", kWelcome, kInstall, kPrimary, kPrimary, 438, 356, pressed_accent},
      // Pressed wins even after the pointer has slid off the button.
      {"primary pressed, pointer gone", kWelcome, kInstall, kNothing, kPrimary, 438, 356, pressed_accent},
      {"primary, a toggle hovered", kWelcome, kInstall, kToggle0, kNothing, 438, 356, opaque(p.accent)},
      // The removal question's button is red; after the removal it is not.
      {"remove", kWelcome, kRemove, kNothing, kNothing, 438, 356, opaque(p.danger)},
      {"remove hovered", kWelcome, kRemove, kPrimary, kNothing, 438, 356, opaque(p.danger_hover)},
      {"remove pressed", kWelcome, kRemove, kPrimary, kPrimary, 438, 356, pressed_danger},
      {"close after removal", kDone, kRemove, kNothing, kNothing, 438, 356, opaque(p.accent)},
      // The close button is red only when hovered and closing is available.
      {"close", kWelcome, kInstall, kNothing, kNothing, 600, 4, opaque(p.background)},
      {"close hovered", kWelcome, kInstall, kClose, kNothing, 600, 4, opaque(Color::rgb(0xC42B1C))},
      {"close pressed", kWelcome, kInstall, kClose, kClose, 600, 4, opaque(Color::rgb(0xB22A1B))},
      {"close pressed, pointer gone", kWelcome, kInstall, kNothing, kClose, 600, 4, opaque(p.background)},
      {"close hovered on error", kError, kInstall, kClose, kNothing, 600, 4, opaque(Color::rgb(0xC42B1C))},
      {"close hovered while busy", kProgress, kInstall, kClose, kNothing, 600, 4, opaque(p.background)},
      {"close pressed while busy", kProgress, kInstall, kClose, kClose, 600, 4, opaque(p.background)},
      {"minimize", kWelcome, kInstall, kNothing, kNothing, 552, 4, opaque(p.background), 1},
      {"minimize hovered", kWelcome, kInstall, kMinimize, kNothing, 552, 4, blend(p.hover_tint, p.background), 1},
      {"minimize pressed", kWelcome, kInstall, kMinimize, kMinimize, 552, 4, blend(p.press_tint, p.background), 1},
      // Stays pressed-looking after the pointer has left.
      {"minimize pressed, pointer gone", kWelcome, kInstall, kNothing, kMinimize, 552, 4,
       blend(p.press_tint, p.background), 1},
      // The logo tile keeps its colour in both themes.
      {"logo tile", kWelcome, kInstall, kNothing, kNothing, 55, 100, opaque(Color::rgb(0x5847F0))},
      {"logo plus", kWelcome, kInstall, kNothing, kNothing, 80, 88, opaque(kWhite)},
  };
  for (const Probe& probe : probes) check(probe);
}

TEST_P(PaintProbe, ToggleTrackColourAndKnobPosition) {
  // Option 0 of the install screen: region (42, 324), track (48, 328, 36, 20),
  // knob centre (58 + 16 p, 338).
  struct Case {
    float p;
    bool hover;
    float track_x;  // a point on the track away from the knob
    float knob_x;
  };
  const Case cases[] = {{0, false, 76, 58}, {1, false, 54, 74}, {0, true, 76, 58}, {1, true, 54, 74}};
  const Palette& p = pal();
  const Color hovered_track = mix(p.track, p.text_main, 0.1f);
  for (const Case& c : cases) {
    UiState s = state(kWelcome);
    s.option_anim[0] = c.p;
    if (c.hover) s.hover = kToggle0;
    const Frame f = paint(s);
    const Color track = c.hover ? hovered_track : p.track;
    EXPECT_EQ(f.at(c.track_x, 338), opaque(mix(track, p.accent, c.p))) << "p " << c.p << " hover " << c.hover;
    EXPECT_EQ(f.at(c.knob_x, 338), opaque(kWhite)) << "p " << c.p;
  }
  // The hover tint belongs to the hovered option only.
  check({"option 0, option 1 hovered", kWelcome, kInstall, kToggle1, kNothing, 76, 338, opaque(p.track)});
  check({"option 1 hovered", kWelcome, kInstall, kToggle1, kNothing, 76, 372, opaque(hovered_track)});
}

TEST_P(PaintProbe, ProgressFillKeepsAStubAndEndsAtTheTrackEnd) {
  const Palette& p = pal();
  const Px track = blend(p.track.with_alpha(0xB3), p.panel);
  struct Case {
    float progress;
    float inside_x;  // last probe that must be fill
    float outside_x;  // first probe that must be track
  };
  const Case cases[] = {{0, 52, 60}, {0.5f, 312, 328}, {1, 587, -1}};
  for (const Case& c : cases) {
    UiState s = state(kProgress);
    s.progress_shown = c.progress;
    s.clock = 0;  // the shimmer sits left of the bar at this instant
    s.screen_since = 0;
    const Frame f = paint(s);
    EXPECT_EQ(f.at(c.inside_x, 360), opaque(p.accent)) << c.progress;
    if (c.outside_x > 0) {
      EXPECT_TRUE(near(f.at(c.outside_x, 360), track, 1)) << c.progress;
    }
    EXPECT_TRUE(near(f.at(590, 360), c.progress == 1 ? opaque(p.accent) : track, 1)) << c.progress;
    // Nothing of the bar outside its 8-unit row.
    EXPECT_EQ(f.at(300, 354.5f), opaque(p.panel));
    EXPECT_EQ(f.at(300, 365), opaque(p.panel));
  }
}

TEST_P(PaintProbe, ShimmerBrightensTheFilledPart) {
  UiState s = state(kProgress);
  s.progress_shown = 1;
  // 0.9 t = 0.5: the 60-unit highlight spans x 290..350.
  s.clock = 0.5f / 0.9f;
  s.screen_since = 0;
  const Frame f = paint(s);
  EXPECT_TRUE(near(f.at(320, 360), blend(Color{255, 255, 255, 0x3C}, pal().accent), 1));
  EXPECT_EQ(f.at(200, 360), opaque(pal().accent));
  EXPECT_EQ(f.at(400, 360), opaque(pal().accent));
}

TEST_P(PaintProbe, StatusBadgeOnDoneAndError) {
  const Palette& p = pal();
  struct Case {
    Screen screen;
    Mode mode;
    std::optional<Color> badge;
  };
  const Case cases[] = {
      {kDone, kInstall, p.success},    {kDone, Mode::update("1.0.0"), p.success},
      {kError, kInstall, p.highlight}, {kError, kRemove, p.highlight},
      {kDone, kRemove, std::nullopt},  {kProgress, kInstall, std::nullopt},
  };
  for (const Case& c : cases) {
    UiState s = state(c.screen, c.mode);
    const Frame f = paint(s);
    // Above the glyph inside the disc, and on the halo ring just outside it.
    const Px disc = f.at(566, 160);
    if (c.badge) {
      EXPECT_EQ(disc, opaque(*c.badge));
      EXPECT_EQ(f.at(566, 176 - 23.6f), opaque(p.background));
      // The glyph: the exclamation mark's bar, or the check mark's corner.
      const bool error = c.screen.kind == Screen::Error;
      EXPECT_EQ(f.at(error ? 566 : 563.5f, error ? 172 : 182), opaque(kWhite));
    } else {
      EXPECT_NE(disc, opaque(p.success));
      EXPECT_NE(disc, opaque(p.highlight));
    }
  }
}

TEST_P(PaintProbe, BadgePopsFromNothing) {
  UiState s = state(kDone);
  s.screen_since = s.clock;  // the screen changed this instant: k = 0
  EXPECT_NE(paint(s).at(566, 176), opaque(pal().success));
}

TEST_P(PaintProbe, HeaderFadesInAfterTheWindowOpens) {
  UiState s = state(kWelcome);
  s.clock = 0;
  s.screen_since = 0;
  EXPECT_EQ(paint(s).at(55, 100), opaque(pal().background));
}

TEST_P(PaintProbe, FocusRingOnlyAfterKeyboardUseAroundTheFocusedElement) {
  const Palette& p = pal();
  for (Screen screen : {kWelcome, kError}) {
    UiState s = state(screen);
    s.focus = kNothing;
    const Frame before = paint(s);
    for (const HitRegion& r : layout_regions(s, s.fonts)) {
      if (r.kind == HitKind::Minimize || r.kind == HitKind::Close) continue;
      s.focus = r.element();
      s.focus_visible = false;
      EXPECT_TRUE(same_pixels(before, paint(s))) << "no ring before the keyboard is used, kind " << int(r.kind);
      s.focus_visible = true;
      const Frame shown = paint(s);
      const float mid = r.y + r.h / 2;
      // The ring's 2 units lie 3 to 5 units out on every side; the 3-unit gap
      // stays clear. (A fractional edge leaves the probed pixel a shade short
      // of full coverage.)
      EXPECT_TRUE(near(shown.at(r.x - 4, mid), opaque(p.text_main), 8)) << "left, kind " << int(r.kind);
      EXPECT_TRUE(near(shown.at(r.x + r.w + 4, mid), opaque(p.text_main), 8)) << "right";
      EXPECT_TRUE(near(shown.at(r.x + r.w / 2, r.y - 4), opaque(p.text_main), 8)) << "top";
      EXPECT_TRUE(near(shown.at(r.x + r.w / 2, r.y + r.h + 4), opaque(p.text_main), 8)) << "bottom";
      EXPECT_EQ(shown.at(r.x - 1.5f, mid), opaque(p.panel));
      EXPECT_EQ(shown.at(r.x - 6.5f, mid), opaque(p.panel));
      // Rounded like the pill: the corner of the square around it stays clear.
      EXPECT_EQ(shown.at(r.x - 4, r.y - 4), opaque(p.panel));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Looks, PaintProbe,
                         ::testing::Values(Look{1, false}, Look{1, true}, Look{2, false}, Look{2, true}),
                         [](const auto& info) {
                           return std::string(info.param.dark ? "Dark" : "Light") + "Scale" +
                                  std::to_string(static_cast<int>(info.param.scale));
                         });

// --- Whole frames ---------------------------------------------------------------

TEST(PaintScreen, SameStateGivesIdenticalPixels) {
  struct Case {
    Screen screen;
    Mode mode;
  };
  const Case cases[] = {{kWelcome, Mode::update("1.0.0")},
                        {kProgress, kInstall},
                        {kDone, kRemove},
                        {Screen::error("The files could not be written (disk full)."), kInstall}};
  for (const Case& c : cases) {
    UiState s = make_state(c.screen, c.mode, true);
    s.clock = 1.3f;
    s.screen_since = 0.9f;
    s.progress_shown = 0.37f;
    const Frame cold = paint(s, 1.5f);
    // Second frame: warm glyph cache, and a target full of stale pixels.
    Frame warm{Pixmap(960, 630), 1.5f};
    warm.pixmap.fill(Color{200, 10, 10, 255});
    paint_screen(s, warm.pixmap, s.fonts, 1.5f);
    EXPECT_TRUE(same_pixels(cold, warm)) << int{c.screen.kind};
  }
}

// Measured in the dark theme, where the faded card stands out clearly from
// the background.
TEST(PaintScreen, CardsFadeAndSinkAfterRemoval) {
  const Palette& p = palette_for(true);
  // Pick the clock so that card 2 does not bob: sin(2.8 + 1.1 t) = 0.
  const float t = (2 * 3.14159265f - 2.8f) / 1.1f;
  for (float scale : {1.0f, 2.0f}) {
    // A point on card 2's body, right of its text bars: centre (470, 204) + (80, 25).
    UiState start = make_state(kDone, kRemove, true);
    start.clock = t;
    start.screen_since = t;
    EXPECT_EQ(paint(start, scale).at(550, 229), opaque(p.surface)) << scale;

    for (float d : {0.7f, 2.0f}) {
      UiState gone = make_state(kDone, kRemove, true);
      gone.clock = t;
      gone.screen_since = t - d;
      const Frame f = paint(gone, scale);
      // 18 units lower, at 30 % over the background (the faded shadows
      // darken it by a hair).
      const Px faded = blend(p.surface.with_alpha(alpha_from(0.3f)), p.background);
      EXPECT_TRUE(near(f.at(550, 229 + 18), faded, 1)) << scale << " " << d;
      EXPECT_FALSE(near(f.at(550, 229 + 18), opaque(p.background), 2)) << scale << " " << d;
    }
  }
}

TEST(PaintScreen, ProgressNotANumberPaintsLikeZero) {
  UiState zero = make_state(kProgress, kInstall, false);
  zero.progress_shown = 0;
  UiState nan = make_state(kProgress, kInstall, false);
  nan.progress_shown = std::numeric_limits<float>::quiet_NaN();
  EXPECT_TRUE(same_pixels(paint(zero, 1), paint(nan, 1)));
}

TEST(PaintScreen, CloseGlyphIsDimmedOnProgress) {
  UiState welcome = make_state(kWelcome, kInstall, false);
  UiState busy = make_state(kProgress, kInstall, false);
  const Frame a = paint(welcome, 2);
  const Frame b = paint(busy, 2);
  // The centre of the cross: dark ink normally, a faint grey while busy.
  const Px normal = a.at(617, 18);
  const Px dim = b.at(617, 18);
  EXPECT_LT(normal[0], dim[0]);
  EXPECT_LT(dim[0], 0xF1);
  // The minimize glyph is not dimmed.
  EXPECT_EQ(a.at(571, 18), b.at(571, 18));
}

// Rows below the third body line stay empty however long the text is; the
// third line itself is drawn.
TEST(PaintScreen, ErrorBodyShowsAtMostThreeLines) {
  std::string long_text;
  for (int i = 0; i < 40; ++i) long_text += "The disk is full again. ";
  UiState s = make_state(Screen::error(long_text), kInstall, false);
  const Frame f = paint(s, 1);
  const Px panel = opaque(palette_for(false).panel);
  const float right = secondary_button_rect(s, s.fonts)->x;
  EXPECT_GT(ink(f, panel, 48, 394, static_cast<int>(right), 405), 0);
  EXPECT_EQ(ink(f, panel, 0, 408, 640, 420), 0);
}

// --- Texts keep their room in every language --------------------------------------

class TextFit : public ::testing::TestWithParam<const char*> {};

// Left of the buttons (on Progress, left of the widest percentage) an
// 8-unit strip of the footer stays empty: every label, question, step,
// heading and body line ends before it, however long it is in this language.
TEST_P(TextFit, FooterTextsKeepTheirRoomFromTheButtons) {
  struct Scene {
    const char* name;
    Screen screen;
    Mode mode;
    Step step = Step::ClosingApp;
  };
  // An engine text with a path longer than any line: it cannot wrap.
  const std::string path_error =
      "registry HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vestrana\\DisplayIcon: denied";
  std::vector<Scene> scenes = {
      {"welcome install", kWelcome, kInstall}, {"welcome update", kWelcome, Mode::update("1.1.0")},
      {"welcome remove", kWelcome, kRemove},   {"done install", kDone, kInstall},
      {"done remove", kDone, kRemove},         {"error path", Screen::error(path_error), kInstall}};
  for (int step = 0; step <= 5; ++step) {
    scenes.push_back({"progress", kProgress, kInstall, static_cast<Step>(step)});
  }
  const Px panel = opaque(palette_for(false).panel);
  for (const Scene& scene : scenes) {
    UiState s = make_state(scene.screen, scene.mode, false, GetParam());
    s.step = scene.step;
    s.progress_shown = 1;
    const Frame f = paint(s, 1);
    float limit = 592 - measure_text(s.fonts, "100 %", 13, kFontBold);
    int top = 300, bottom = 420;
    if (scene.screen.kind == Screen::Progress) {
      bottom = 352;  // the bar runs through below
    } else {
      limit = primary_button_rect(s, s.fonts)->x;
      if (auto r = secondary_button_rect(s, s.fonts)) limit = std::min(limit, r->x);
    }
    const int left = static_cast<int>(std::ceil(limit - 8));
    EXPECT_EQ(ink(f, panel, left, top, static_cast<int>(std::floor(limit)), bottom), 0)
        << scene.name << " step " << int(scene.step) << ", strip left of x " << limit;
  }
}

// The subtitle and the update badge end 8 units before the lowest card: the
// strip there looks exactly as in English, whose texts end far earlier.
TEST_P(TextFit, HeaderTextsKeepTheirRoomFromTheLowestCard) {
  UiState english = make_state(kWelcome, Mode::update("1.1.0"), false);
  UiState local = make_state(kWelcome, Mode::update("1.1.0"), false, GetParam());
  const Frame a = paint(english, 1);
  const Frame b = paint(local, 1);
  for (int y = 185; y < 246; ++y) {  // subtitle and badge rows
    for (int x = 354; x < 362; ++x) ASSERT_EQ(a.pixmap.pixel(x, y), b.pixmap.pixel(x, y)) << x << "," << y;
  }
}

// A toggle's row ends just after its label as painted, so a label drawn
// smaller does not leave clickable empty space behind it.
TEST_P(TextFit, OptionRowsEndWithTheirPaintedLabels) {
  for (Mode mode : {kInstall, kRemove}) {
    UiState s = make_state(kWelcome, mode, false, GetParam());
    const Frame f = paint(s, 1);
    const Px panel = opaque(palette_for(false).panel);
    const float button = primary_button_rect(s, s.fonts)->x;
    for (uint32_t i = 0; i < s.options.size(); ++i) {
      const LayoutRect row = *toggle_rect(s, s.fonts, i);
      int ink_end = 0;
      for (int y = static_cast<int>(row.y); y < static_cast<int>(row.bottom()); ++y) {
        for (int x = 94; x < static_cast<int>(button); ++x) {
          if (f.pixmap.pixel(x, y) != panel) ink_end = std::max(ink_end, x + 1);
        }
      }
      EXPECT_GE(row.right(), static_cast<float>(ink_end)) << i;
      EXPECT_LT(row.right(), static_cast<float>(ink_end) + 8) << i;
      EXPECT_EQ(hit_test(s, s.fonts, row.right() - 0.5f, row.y + 14), (ElementRef{HitKind::Toggle, i}));
      EXPECT_TRUE(hit_test(s, s.fonts, row.right() + 0.5f, row.y + 14).is_nothing());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(PaintScreen, TextFit, ::testing::Values("en", "de", "fr", "es", "it", "tr"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace vestrana
