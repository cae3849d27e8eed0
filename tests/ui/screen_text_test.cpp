#include "ui/screen_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "paint/text.h"
#include "ui/screens.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

UiState make_state(Screen screen, Mode mode, const char* lang) {
  UiState state(load_fonts());
  state.mode = std::move(mode);
  state.strings = &table_for(LanguageCode{{lang[0], lang[1]}});
  state.version = "1.2.1";
  state.options.assign(state.mode.kind == Mode::Remove ? 1 : 2, true);
  state.step = Step::WebView2Setup;
  set_screen(state, std::move(screen));
  return state;
}

struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// Where a run drawn alone at `scale` leaves ink, in device pixels.
Ink ink_of(FontSet& fonts, const ScreenText& text, const TextLine& line, float scale) {
  Pixmap pixmap(static_cast<int>(kCanvasWidth * scale), static_cast<int>(kCanvasHeight * scale));
  pixmap.fill(Color{0, 0, 0, 0});
  draw_text(Canvas{pixmap, scale}, fonts, line.x, line.baseline, line.run.text, line.run.size, text.font,
            Color::rgb(0x000000), text.letter_spacing);
  Ink ink;
  for (int y = 0; y < pixmap.height(); ++y) {
    for (int x = 0; x < pixmap.width(); ++x) {
      if (pixmap.pixel(x, y)[3] == 0) continue;
      ink = Ink{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), std::max(ink.bottom, y + 1)};
    }
  }
  return ink;
}

// A screen reader is told a text's place from its line rectangles: each must
// hold the run's ink as drawn, and end where the ink ends (within the side
// bearing), in every language, also for runs drawn smaller or cut short.
TEST(ScreenText, LineRectanglesHoldTheirInkAndEndWithIt) {
  const std::string path_error =
      "registry HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vestrana\\DisplayIcon: denied";
  constexpr float kScale = 2;
  int shrunk = 0;
  for (const char* lang : {"en", "de", "fr", "es", "it", "tr"}) {
    for (const auto& [screen, mode] :
         {std::pair{Screen::welcome(), Mode::update("1.1.0")}, std::pair{Screen::welcome(), Mode::remove()},
          std::pair{Screen::progress(), Mode::install()}, std::pair{Screen::done(), Mode::install()},
          std::pair{Screen::error(path_error), Mode::install()}}) {
      UiState state = make_state(screen, mode, lang);
      for (const ScreenText& text : screen_texts(state, state.fonts)) {
        for (const TextLine& line : text.lines) {
          SCOPED_TRACE(std::string(lang) + ": " + line.run.text);
          shrunk += line.run.size < text.size;
          const Ink ink = ink_of(state.fonts, text, line, kScale);
          const LayoutRect r = line.rect();
          ASSERT_GE(ink.right, 0);
          EXPECT_GE(ink.left, std::floor(r.x * kScale) - 2);
          EXPECT_GE(ink.top, std::floor(r.y * kScale) - 1);
          EXPECT_LE(ink.bottom, std::ceil(r.bottom() * kScale) + 1);
          EXPECT_LE(ink.right, std::ceil(r.right() * kScale) + 1);
          EXPECT_GE(ink.right, std::floor(r.right() * kScale) - 3 * kScale);
        }
      }
    }
  }
  EXPECT_GT(shrunk, 0);  // the fitted sizes were among them
}

// The animated groups move as a whole: the header with its top, the done
// and error texts with their drop; the rest stays.
TEST(ScreenText, AnchorsMoveTheHeaderAndTheOutcomeTexts) {
  UiState state = make_state(Screen::done(), Mode::update("1.1.0"), "en");
  const std::vector<ScreenText> settled = screen_texts(state, state.fonts);
  const std::vector<ScreenText> moving = screen_texts(state, state.fonts, TextAnchors{70, 4});
  ASSERT_EQ(settled.size(), moving.size());
  for (size_t i = 0; i < settled.size(); ++i) {
    const TextPart part = settled[i].part;
    const bool header = part == TextPart::ProductName || part == TextPart::Subtitle || part == TextPart::UpdateBadge;
    const bool outcome = part == TextPart::Heading || part == TextPart::Body;
    const float drop = header ? 6 : outcome ? 4 : 0;
    for (size_t j = 0; j < settled[i].lines.size(); ++j) {
      EXPECT_FLOAT_EQ(moving[i].lines[j].baseline, settled[i].lines[j].baseline + drop) << static_cast<int>(part);
      EXPECT_EQ(moving[i].lines[j].x, settled[i].lines[j].x);
    }
  }
  EXPECT_FLOAT_EQ(find_text(moving, TextPart::UpdateBadge)->pill->y,
                  find_text(settled, TextPart::UpdateBadge)->pill->y + 6);
}

// --- Wrapping ---------------------------------------------------------------------

TEST(WrapBodyLines, Cases) {
  const FontSet fonts = load_fonts();
  auto w = [&](std::string_view s) { return measure_text(fonts, s, 13, kFontMedium); };
  struct Case {
    const char* text;
    float limit;
    std::vector<std::string> want;
  };
  const Case cases[] = {
      {"", 100, {}},
      {"word", 1, {"word"}},  // one word wider than the limit stays whole
      {"alpha beta", w("alpha beta"), {"alpha beta"}},  // exactly at the limit fits
      {"alpha beta", w("alpha beta") - 0.01f, {"alpha", "beta"}},
      {"a Supercalifragilistic b", w("a Super"), {"a", "Supercalifragilistic", "b"}},
      // Split at every single space: doubled spaces survive inside a line.
      {"a  b", 1000, {"a  b"}},
      {"one two three four", w("three four"), {"one two", "three four"}},
  };
  for (const Case& c : cases) EXPECT_EQ(wrap_body_lines(fonts, c.text, c.limit), c.want) << c.text;
}

TEST(WrapBodyLines, LinesRejoinToTheTextAndRespectTheLimit) {
  const FontSet fonts = load_fonts();
  const std::string text =
      "Microsoft WebView2 could not be set up. Please check the internet connection and try once more.";
  for (float limit : {60.0f, 120.0f, 253.69f, 400.0f}) {
    const auto lines = wrap_body_lines(fonts, text, limit);
    std::string joined;
    for (const auto& line : lines) {
      if (!joined.empty()) joined += ' ';
      joined += line;
      if (line.find(' ') != std::string::npos) {
        EXPECT_LE(measure_text(fonts, line, 13, kFontMedium), limit);
      }
    }
    EXPECT_EQ(joined, text) << limit;
  }
}

}  // namespace
}  // namespace vestrana
