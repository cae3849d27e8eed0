// The fallback faces: which face draws a character, when the files are
// opened, how a fallback glyph is scaled and cached. The fallback face is a
// real TrueType collection with Chinese, Japanese and Korean letters (from
// a Debian fonts package), put into an in-memory fonts folder under the
// names the program looks for.

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "paint/font_folder.h"
#include "paint/text.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

const std::vector<uint8_t>& cjk_font() {
  static const std::vector<uint8_t> bytes = [] {
    std::ifstream file(VESTRANA_CJK_TEST_FONT, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
  }();
  return bytes;
}

// Files by name, and how often each was asked for. A name that is not there
// is absent, as CreateFileW's ERROR_FILE_NOT_FOUND makes it.
struct FakeFontFolder final : FontFolder {
  std::map<std::string, std::vector<uint8_t>> files;
  std::map<std::string, int>* opens;
  explicit FakeFontFolder(std::map<std::string, int>* counts) : opens(counts) {}
  std::unique_ptr<FontFile> open(std::string_view name) override {
    ++(*opens)[std::string(name)];
    auto found = files.find(std::string(name));
    if (found == files.end()) return nullptr;
    return std::make_unique<FontFileBytes>(found->second);
  }
};

struct Fallback {
  std::map<std::string, int> opens;
  FontSet fonts;
  explicit Fallback(std::map<std::string, std::vector<uint8_t>> files)
      : fonts([&] {
          auto folder = std::make_unique<FakeFontFolder>(&opens);
          folder->files = std::move(files);
          return load_fonts(std::move(folder));
        }()) {}
  int total_opens() const {
    int n = 0;
    for (const auto& [name, count] : opens) n += count;
    return n;
  }
};

constexpr char32_t kZhong = U'\u4E2D';  // 中, in the CJK face only

// The pixels of one black run drawn from x 2 on baseline 30 of a 60 px high surface.
std::vector<uint8_t> drawn(FontSet& fonts, std::string_view text, uint32_t width, float scale = 1, float size = 20,
                           int font = kFontMedium) {
  std::vector<uint8_t> pixels(size_t{width} * 60 * 4);
  draw_text(TextTarget{pixels.data(), width, 60, scale}, fonts, 2, 30, text, size, font, Color{0, 0, 0, 255}, 0);
  return pixels;
}

TEST(FallbackFace, TheTestFontIsThere) { ASSERT_GT(cjk_font().size(), 1000000u) << VESTRANA_CJK_TEST_FONT; }

TEST(FallbackFace, TextsOfTheEmbeddedFacesNeverOpenTheFolder) {
  Fallback f({{"msyh.ttc", cjk_font()}});
  for (const char* code : {"en", "de", "fr", "es", "it", "tr"}) {
    for (std::string_view text : table_for(LanguageCode{{code[0], code[1]}}).texts) {
      (void)measure_text(f.fonts, text, 13.5f, kFontMedium);
      (void)drawn(f.fonts, text, 200, 1.5f, 13.5f, kFontBold);
    }
  }
  (void)measure_text(f.fonts, "Ωмega Ж ü € –", 13, kFontMedium);
  EXPECT_EQ(f.total_opens(), 0);
  EXPECT_EQ(f.fonts.fallback_files_tried(), 0);
}

TEST(FallbackFace, TheFirstFileThatMapsTheCharacterDrawsItAndEachFileOpensOnce) {
  const std::vector<uint8_t> not_a_font(4096, 0x5A);
  struct Case {
    std::map<std::string, std::vector<uint8_t>> files;
    uint8_t face;  // 1 + the file's place in the chain
    int tried;  // files asked for until the character was found
  } cases[] = {
      {{{"msyh.ttc", cjk_font()}}, 2, 2},
      {{{"segoeui.ttf", not_a_font}, {"msyh.ttc", cjk_font()}}, 2, 2},
      {{{"YuGothM.ttc", cjk_font()}, {"malgun.ttf", cjk_font()}}, 3, 3},
      {{{"seguisym.ttf", cjk_font()}}, 8, 8},
      {{{"segoeui.ttf", cjk_font()}, {"msyh.ttc", cjk_font()}}, 1, 1},
  };
  for (const Case& c : cases) {
    Fallback f(c.files);
    EXPECT_EQ(f.fonts.face_for(kFontMedium, kZhong), c.face);
    EXPECT_EQ(f.fonts.face_for(kFontBold, U'\u3042'), c.face);  // あ: the same face, not opened again
    (void)measure_text(f.fonts, "中文", 13, kFontMedium);
    EXPECT_EQ(f.fonts.fallback_files_tried(), c.tried);
    for (const auto& [name, count] : f.opens) EXPECT_EQ(count, 1) << name;
    EXPECT_EQ(f.total_opens(), c.tried);
    EXPECT_EQ(f.fonts.face_for(kFontMedium, U'a'), kEmbeddedFace);
  }
}

TEST(FallbackFace, ACharacterNoFaceHasIsTheBoxAndEveryFileIsAskedForOnce) {
  Fallback f({{"msyh.ttc", cjk_font()}});
  const float box = f.fonts.advance_units(kFontMedium, 0) * 20.0f / f.fonts.units_per_em(kFontMedium);
  for (int round = 0; round < 2; ++round) {
    EXPECT_FALSE(f.fonts.face_for(kFontMedium, U'\u0627'));  // Arabic alef: neither Inter nor the CJK face
    EXPECT_FLOAT_EQ(measure_text(f.fonts, "\u0627", 20, kFontMedium), box);
    EXPECT_FLOAT_EQ(f.fonts.glyph(U'\u0627', kFontMedium, 20).advance, box);
  }
  EXPECT_EQ(f.fonts.fallback_files_tried(), kFallbackFaceCount);
  EXPECT_EQ(f.total_opens(), kFallbackFaceCount);
  // Without a folder, there is no fallback at all.
  FontSet alone = load_fonts();
  EXPECT_FALSE(alone.face_for(kFontMedium, kZhong));
  EXPECT_FLOAT_EQ(measure_text(alone, "中", 20, kFontMedium), box);
}

// The CJK face's figures, read by FreeType directly.
struct FaceFigures {
  double advance_em;  // of U+4E2D
  double height_em;  // of its outline
  double cap_height;  // in ems
};
FaceFigures cjk_figures() {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FaceFigures figures{0, 0, 0};
  if (FT_Init_FreeType(&library) != 0) return figures;
  if (FT_New_Memory_Face(library, cjk_font().data(), static_cast<FT_Long>(cjk_font().size()), 0, &face) == 0) {
    FT_Load_Glyph(face, FT_Get_Char_Index(face, kZhong), FT_LOAD_NO_SCALE);
    figures.advance_em = static_cast<double>(face->glyph->advance.x) / face->units_per_EM;
    figures.height_em = static_cast<double>(face->glyph->metrics.height) / face->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    figures.cap_height = static_cast<double>(os2->sCapHeight) / face->units_per_EM;
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  return figures;
}

TEST(FallbackFace, IsScaledToInterCapitalsAndDrawnAsMeasured) {
  Fallback f({{"msyh.ttc", cjk_font()}});
  const FaceFigures cjk = cjk_figures();
  ASSERT_GT(cjk.cap_height, 0);
  const double inter_cap = 1490.0 / 2048;  // Inter's OS/2 capital height
  const double expected = cjk.advance_em * (inter_cap / cjk.cap_height) * 20;
  EXPECT_NEAR(measure_text(f.fonts, "中", 20, kFontMedium), expected, 1e-3);
  // Mixed with Inter's letters, each keeps its own measure.
  EXPECT_NEAR(measure_text(f.fonts, "a中a", 20, kFontMedium),
              expected + 2 * measure_text(f.fonts, "a", 20, kFontMedium), 1e-3);
  // Drawn with the measured advance, and as tall as the face's outline at
  // the scaled size (the bitmap is widened to whole pixels): at 400 px the
  // unscaled glyph would be about seven pixels shorter.
  const GlyphImage& g = f.fonts.glyph(kZhong, kFontMedium, 400);
  EXPECT_NEAR(g.advance, measure_text(f.fonts, "中", 400, kFontMedium), 1e-2);
  EXPECT_NEAR(g.height, cjk.height_em * (inter_cap / cjk.cap_height) * 400, 2.0);
}

TEST(FallbackFace, FallbackGlyphsHaveKeysOfTheirOwn) {
  Fallback f({{"msyh.ttc", cjk_font()}});
  const std::vector<uint8_t> pixels = drawn(f.fonts, "a中", 120);
  EXPECT_NE(f.fonts.find_cached(GlyphKey{U'a', kFontMedium, 1280, kEmbeddedFace}), nullptr);
  EXPECT_NE(f.fonts.find_cached(GlyphKey{kZhong, kFontMedium, 1280, 2}), nullptr);
  EXPECT_EQ(f.fonts.find_cached(GlyphKey{kZhong, kFontMedium, 1280, kEmbeddedFace}), nullptr);
  EXPECT_EQ(f.fonts.cached_glyphs(), 2u);
  // The ideograph's ink differs from the box that the set without a folder draws.
  FontSet alone = load_fonts();
  EXPECT_NE(pixels, drawn(alone, "a中", 120));
}

TEST(FallbackFace, TextTheEmbeddedFacesCoverPaintsTheSameWithOrWithoutAFolder) {
  Fallback f({{"segoeui.ttf", cjk_font()}});
  FontSet alone = load_fonts();
  for (float scale : {1.0f, 1.25f, 1.5f, 2.0f}) {
    const std::string text = "Zoë Ölmez – Ωμέγα Жёлтый € “x”";
    EXPECT_EQ(drawn(f.fonts, text, 400, scale, 13.5f), drawn(alone, text, 400, scale, 13.5f)) << scale;
    EXPECT_EQ(measure_text(f.fonts, text, 13.5f, kFontBold), measure_text(alone, text, 13.5f, kFontBold));
  }
  EXPECT_EQ(f.total_opens(), 0);
}

}  // namespace
}  // namespace vestrana
