#include "paint/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "paint/embedded_fonts.h"
#include "base/text.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

constexpr Color kWhite{255, 255, 255, 255};
constexpr Color kBlack{0, 0, 0, 255};

// A pixel buffer with guard rows above and below the visible image, so that
// writes outside the image are caught.
struct Surface {
  static constexpr uint32_t kGuard = 4;
  uint32_t width, height;
  std::vector<uint8_t> bytes;
  Surface(uint32_t w, uint32_t h, std::array<uint8_t, 4> fill = {0, 0, 0, 0})
      : width(w), height(h), bytes(size_t{w} * (h + 2 * kGuard) * 4) {
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = fill[i % 4];
  }
  TextTarget target(float scale = 1) { return {bytes.data() + size_t{kGuard} * width * 4, width, height, scale}; }
  const uint8_t* at(uint32_t x, uint32_t y) const { return bytes.data() + ((size_t{kGuard} + y) * width + x) * 4; }
  bool guards_untouched(std::array<uint8_t, 4> fill) const {
    size_t guard_bytes = size_t{kGuard} * width * 4;
    for (size_t i = 0; i < guard_bytes; ++i) {
      if (bytes[i] != fill[i % 4] || bytes[bytes.size() - 1 - i] != fill[3 - i % 4]) return false;
    }
    return true;
  }
};

TEST(MeasureText, MatchesTheLayoutFigures) {
  FontSet fonts = load_fonts();
  EXPECT_NEAR(measure_text(fonts, "Install", 15, kFontBold), 44.2822, 0.01);
  EXPECT_NEAR(measure_text(fonts, "Try again", 15, kFontBold), 69.00, 0.01);
  EXPECT_NEAR(measure_text(fonts, "Close", 14.5, kFontBold), 40.31, 0.01);
  EXPECT_NEAR(measure_text(fonts, "Shortcut on the desktop", 13.5, kFontMedium), 155.22, 0.01);
  EXPECT_NEAR(measure_text(fonts, "Start with Windows, in the notification area", 13.5, kFontMedium), 276.99, 0.01);
  EXPECT_EQ(measure_text(fonts, "", 15, kFontBold), 0);
  EXPECT_EQ(measure_text(fonts, "", INFINITY, kFontBold), 0);
  EXPECT_EQ(measure_text(fonts, "Install", -15, kFontBold), 0);
  EXPECT_EQ(fonts.rasterizations(), 0u) << "measuring must not rasterise";
}

TEST(MeasureText, IllFormedUtf8AndUnmappedCharactersUseTheMissingGlyph) {
  FontSet fonts = load_fonts();
  float missing = fonts.advance_units(kFontMedium, 0) * 20.0f / fonts.units_per_em(kFontMedium);
  ASSERT_GT(missing, 0);
  EXPECT_FLOAT_EQ(measure_text(fonts, "\xff", 20, kFontMedium), missing);
  EXPECT_FLOAT_EQ(measure_text(fonts, "\xe4\xb8\x80", 20, kFontMedium), missing);  // U+4E00
  // A truncated sequence is one replacement; the next character survives.
  EXPECT_FLOAT_EQ(measure_text(fonts,
                               "\xe2\x80"
                               "a",
                               20, kFontMedium),
                  missing + measure_text(fonts, "a", 20, kFontMedium));
}

TEST(Fonts, MapEveryCharacterOfTheStringTablesInAllThreeFaces) {
  FontSet fonts = load_fonts();
  std::string all = "0123456789 %";
  for (const char* code : {"en", "de", "fr", "es", "it", "tr"}) {
    const StringTable& table = table_for(LanguageCode{{code[0], code[1]}});
    for (std::string_view text : table.texts) all += text;
  }
  for (size_t i = 0; i < all.size();) {
    char32_t ch = utf16_detail::next_utf8(all, i);
    for (int font = 0; font < kFontCount; ++font) {
      EXPECT_NE(fonts.glyph_index(font, ch), 0u) << "U+" << std::hex << uint32_t{ch} << " font " << font;
    }
  }
}

TEST(GlyphCache, RasterisesEachCharacterOncePerFontAndPixelSize) {
  EXPECT_EQ(glyph_size_key(13.5f * 1.5f), 1296u);
  EXPECT_EQ(glyph_size_key(20.2599f), 1296u);  // truncated, not rounded
  EXPECT_EQ(glyph_size_key(-3), 0u);
  EXPECT_EQ(glyph_size_key(NAN), 0u);
  EXPECT_EQ(glyph_size_key(1e12f), 0xFFFFFFFFu);

  FontSet fonts = load_fonts();
  Surface surface(200, 40);
  for (int round = 0; round < 2; ++round) {
    draw_text(surface.target(1.5f), fonts, 2, 20, "Setup sets", 13.5f, kFontMedium, kBlack, 0);
    EXPECT_EQ(fonts.rasterizations(), 7u);  // S e t u p space s
  }
  EXPECT_NE(fonts.find_cached(GlyphKey{U'e', kFontMedium, 1296}), nullptr);
  draw_text(surface.target(2), fonts, 2, 20, "e", 13.5f, kFontMedium, kBlack, 0);
  draw_text(surface.target(1.5f), fonts, 2, 20, "e", 13.5f, kFontBold, kBlack, 0);
  EXPECT_EQ(fonts.rasterizations(), 9u);
  EXPECT_EQ(fonts.cached_glyphs(), 9u);
}

TEST(BlendTextPixel, FollowsTheIntegerFormula) {
  auto blend = [](std::array<uint8_t, 4> px, uint8_t coverage, Color color) {
    blend_text_pixel(px.data(), coverage, color);
    return px;
  };
  using P = std::array<uint8_t, 4>;
  EXPECT_EQ(blend({0, 0, 0, 0}, 1, kWhite), (P{1, 1, 1, 1}));  // sa = 1
  EXPECT_EQ(blend({9, 8, 7, 9}, 0, kWhite), (P{9, 8, 7, 9}));  // no coverage
  EXPECT_EQ(blend({9, 8, 7, 9}, 255, Color{}), (P{9, 8, 7, 9}));  // transparent colour
  EXPECT_EQ(blend({9, 8, 7, 9}, 254, Color{0, 0, 0, 1}), (P{9, 8, 7, 9}));  // a = 254
  EXPECT_EQ(blend({0, 0, 255, 255}, 128, Color{255, 0, 0, 255}), (P{128, 0, 127, 255}));
  for (P px : {P{0, 0, 0, 0}, P{10, 200, 30, 200}, P{255, 255, 255, 255}, P{0, 0, 0, 255}}) {
    EXPECT_EQ(blend(px, 255, kWhite), (P{255, 255, 255, 255}));
  }
  // Colour channels never exceed the new alpha, even on a malformed pixel.
  EXPECT_EQ(blend({255, 0, 0, 0}, 1, kBlack), (P{1, 0, 0, 1}));
}

// The row blend (four pixels at a time where it can) must give exactly what
// the pixel blend gives, for every coverage, over valid and malformed pixels.
TEST(BlendTextRow, MatchesThePixelBlendForEveryCoverage) {
  using P = std::array<uint8_t, 4>;
  const P under[] = {{0, 0, 0, 0},   {10, 200, 30, 200}, {255, 255, 255, 255},
                     {255, 0, 0, 0}, {3, 9, 1, 17},      {6, 2, 9, 5}};
  std::vector<uint8_t> coverage(259);
  for (size_t i = 0; i < coverage.size(); ++i) coverage[i] = static_cast<uint8_t>(i * 37 + i / 256);
  for (Color color : {kWhite, kBlack, Color{255, 0, 0, 255}, Color{10, 200, 30, 128}, Color{90, 0, 250, 1}}) {
    // Every length of tail after the groups of four, also with no group at all.
    for (size_t count : {1, 2, 3, 4, 5, 6, 7, 256, 257, 258, 259}) {
      for (size_t shift = 0; shift < 6; ++shift) {
        std::vector<uint8_t> row(count * 4), expected;
        for (size_t i = 0; i < count; ++i) std::memcpy(&row[4 * i], under[(i + shift) % 6].data(), 4);
        expected = row;
        for (size_t i = 0; i < count; ++i) blend_text_pixel(&expected[4 * i], coverage[i], color);
        blend_text_row(row.data(), coverage.data(), static_cast<int64_t>(count), color);
        ASSERT_EQ(row, expected) << "colour alpha " << int{color.a} << ", " << count << " pixels, shift " << shift;
      }
    }
  }
}

TEST(DrawText, InkSitsOnTheRoundedBaselineAtEveryScale) {
  FontSet fonts = load_fonts();
  Surface one(48, 40), two(48, 40), half_up(48, 40);
  draw_text(one.target(1), fonts, 10, 30, "H", 20, kFontBold, kWhite, 0);
  draw_text(two.target(2), fonts, 5, 15, "H", 10, kFontBold, kWhite, 0);
  draw_text(half_up.target(1), fonts, 10, 29.5f, "H", 20, kFontBold, kWhite, 0);
  EXPECT_EQ(one.bytes, two.bytes);
  EXPECT_EQ(one.bytes, half_up.bytes);
  // Cap height 1490/2048 of 20 px = 14.6: rows 15..29 above baseline row 30.
  uint32_t top = 99, bottom = 0;
  for (uint32_t y = 0; y < 40; ++y) {
    for (uint32_t x = 0; x < 48; ++x) {
      if (one.at(x, y)[3] != 0) top = std::min(top, y), bottom = std::max(bottom, y);
    }
  }
  EXPECT_EQ(top, 15u);
  EXPECT_EQ(bottom, 29u);
  EXPECT_EQ(one.at(12, 25)[0], 255) << "the stem is full white";
  // Unhinted and unsnapped: 1490 units of 2048 at 200 px are 145.5 px.
  EXPECT_EQ(fonts.glyph(U'H', kFontBold, 200).height, 146u);
  EXPECT_EQ(fonts.glyph(U'H', kFontBold, 200).ymin, 0);
}

TEST(DrawText, ClipsAtTheEdgesWithoutTouchingOtherPixels) {
  FontSet fonts = load_fonts();
  constexpr std::array<uint8_t, 4> kFill = {10, 20, 30, 40};
  // The same run once clipped on all four sides, and once in full 10 px
  // further right and down on a larger surface.
  Surface clipped(18, 14, kFill), full(40, 40, kFill);
  draw_text(clipped.target(), fonts, -4, 12, "Hg", 20, kFontBold, kBlack, 0);
  draw_text(full.target(), fonts, 6, 22, "Hg", 20, kFontBold, kBlack, 0);
  EXPECT_TRUE(clipped.guards_untouched(kFill));
  auto ink_in = [&](uint32_t x0, uint32_t y0, uint32_t x1, uint32_t y1) {
    for (uint32_t y = y0; y < y1; ++y) {
      for (uint32_t x = x0; x < x1; ++x) {
        if (full.at(x, y)[3] != kFill[3]) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(ink_in(0, 0, 10, 40) && ink_in(0, 0, 40, 10) && ink_in(28, 0, 40, 40) && ink_in(0, 24, 40, 40))
      << "the run should reach past every edge of the small surface";
  for (uint32_t y = 0; y < clipped.height; ++y) {
    for (uint32_t x = 0; x < clipped.width; ++x) {
      ASSERT_EQ(0, std::memcmp(clipped.at(x, y), full.at(x + 10, y + 10), 4)) << x << "," << y;
    }
  }
}

TEST(DrawText, PenMovesByUnroundedAdvancePlusScaledSpacing) {
  FontSet fonts = load_fonts();
  // Ten H's: rounding each advance (14.94 px) would put the last one 1 px off.
  Surface row(190, 40);
  draw_text(row.target(), fonts, 10, 30, "HHHHHHHHHH", 20, kFontBold, kWhite, 0);
  std::vector<uint32_t> stems;
  for (uint32_t x = 1; x < row.width; ++x) {
    if (row.at(x, 20)[3] > 128 && row.at(x - 1, 20)[3] <= 128) stems.push_back(x);
  }
  ASSERT_EQ(stems.size(), 20u);
  int32_t units = fonts.advance_units(kFontBold, fonts.glyph_index(kFontBold, U'H'));
  float advance = 20.0f * units / fonts.units_per_em(kFontBold);
  for (int k = 1; k < 10; ++k) {  // placement rounds the pen to nearest
    EXPECT_EQ(stems[2 * k], stems[0] + static_cast<uint32_t>(std::lround(k * advance))) << k;
  }

  // Spacing 10 at scale 2 puts the second H 20 px further than without.
  Surface spaced(120, 70), separate(120, 70);
  draw_text(spaced.target(2), fonts, 10, 30, "HH", 20, kFontBold, kWhite, 10);
  float second = 10 + (fonts.glyph(U'H', kFontBold, 40).advance + 20) / 2;
  draw_text(separate.target(2), fonts, 10, 30, "H", 20, kFontBold, kWhite, 0);
  draw_text(separate.target(2), fonts, second, 30, "H", 20, kFontBold, kWhite, 0);
  EXPECT_EQ(spaced.bytes, separate.bytes);
}

TEST(DrawText, DrawsNothingForEmptyTextTransparentColourOrNoSize) {
  FontSet fonts = load_fonts();
  Surface surface(64, 40, {1, 2, 3, 4});
  Surface untouched = surface;
  draw_text(surface.target(), fonts, 5, 30, "", 20, kFontBold, kBlack, 0);
  draw_text(surface.target(), fonts, 5, 30, "Hi", 20, kFontBold, Color{0, 0, 0, 0}, 0);
  for (float size : {0.0f, -5.0f, NAN}) {
    draw_text(surface.target(), fonts, 5, 30, "Hi", size, kFontBold, kBlack, 3);
  }
  EXPECT_EQ(surface.bytes, untouched.bytes);
  EXPECT_EQ(fonts.glyph(U'H', kFontBold, 0).advance, 0);

  // Oversized glyphs keep their advance but have no bitmap.
  const GlyphImage& huge = fonts.glyph(U'H', kFontBold, 5000);
  EXPECT_EQ(huge.width, 0u);
  int32_t units = fonts.advance_units(kFontBold, fonts.glyph_index(kFontBold, U'H'));
  EXPECT_NEAR(huge.advance, 5000.0 * units / fonts.units_per_em(kFontBold), 0.01);
}

TEST(DrawTextDeathTest, RejectsAFontIndexOutsideTheThreeFaces) {
  FontSet fonts = load_fonts();
  EXPECT_DEATH(measure_text(fonts, "a", 10, 3), "font index");
}

// Fitting a run into a width: every result is re-measured here, so the
// checks do not lean on the widths fit_text reports about itself.
TEST(FitText, KeepsShrinksOrCutsTheRun) {
  const FontSet fonts = load_fonts();
  const std::string label = "Start with Windows, in the notification area";
  const float full = measure_text(fonts, label, 13.5f, kFontMedium);  // about 277
  const float at_floor = measure_text(fonts, label, 11, kFontMedium);
  const float ellipsis = measure_text(fonts, "\u2026", 11, kFontMedium);
  struct Case {
    const char* name;
    std::string text;
    float max_width;
    float spacing;
    enum { Same, Smaller, Cut, Empty } want;
  };
  const Case cases[] = {
      {"fits", label, full, 0, Case::Same},
      {"fits_with_room", label, full + 50, 0, Case::Same},
      {"a_little_too_wide", label, full - 20, 0, Case::Smaller},
      {"just_above_the_floor", label, full * 11.2f / 13.5f, 0, Case::Smaller},
      {"below_the_floor", label, full * 10 / 13.5f, 0, Case::Cut},
      {"spacing_counts", label, full, 0.5f, Case::Smaller},
      {"exactly_the_floor", label, at_floor, 0, Case::Smaller},
      {"a_hair_below_the_floor", label, at_floor - 0.01f, 0, Case::Cut},
      {"exactly_the_ellipsis", "Windows", ellipsis, 0, Case::Cut},
      {"a_hair_below_the_ellipsis", "Windows", ellipsis - 0.01f, 0, Case::Empty},
      {"no_room_at_all", label, 2, 0, Case::Empty},
      {"negative_room", label, -10, 0, Case::Empty},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FittedText got = fit_text(fonts, c.text, 13.5f, kFontMedium, c.max_width, 11, c.spacing);
    const size_t chars = utf8_to_utf16(got.text).size();
    const float width = measure_text(fonts, got.text, got.size, kFontMedium) + c.spacing * static_cast<float>(chars);
    EXPECT_NEAR(got.width, width, 0.001f);
    if (c.want != Case::Empty) {
      EXPECT_LE(width, c.max_width);
    }
    switch (c.want) {
      case Case::Same:
        EXPECT_EQ(got.text, c.text);
        EXPECT_EQ(got.size, 13.5f);
        break;
      case Case::Smaller: {
        EXPECT_EQ(got.text, c.text);
        EXPECT_LT(got.size, 13.5f);
        EXPECT_GE(got.size, 11.0f);
        EXPECT_EQ(got.size * 64, std::floor(got.size * 64));
        // The largest such size: one step up no longer fits.
        const float up = got.size + 1.0f / 64;
        const float spaced = c.spacing * static_cast<float>(chars);
        EXPECT_GT(measure_text(fonts, c.text, up, kFontMedium) + spaced, c.max_width);
        break;
      }
      case Case::Cut: {
        EXPECT_EQ(got.size, 11.0f);
        ASSERT_TRUE(got.text.ends_with("\u2026")) << got.text;
        const std::string head = got.text.substr(0, got.text.size() - 3);
        EXPECT_TRUE(c.text.starts_with(head));
        EXPECT_FALSE(head.ends_with(" "));
        // The longest such start: one more character does not fit.
        const size_t next = c.text.find_first_not_of(' ', head.size());
        const std::string longer = c.text.substr(0, next + 1) + "\u2026";
        EXPECT_GT(measure_text(fonts, longer, 11, kFontMedium), c.max_width) << longer;
        break;
      }
      case Case::Empty: EXPECT_EQ(got.text, ""); break;
    }
  }
}

}  // namespace
}  // namespace vestrana
