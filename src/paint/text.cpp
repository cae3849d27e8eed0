#include "paint/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "paint/embedded_fonts.h"
#include "base/text.h"

namespace vestrana {
namespace {

[[noreturn]] void fatal(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

// Float to int32 the way the placement arithmetic wants it: not-a-number is
// 0, everything else is clamped into range.
int32_t saturate_i32(float v) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<float>(std::numeric_limits<int32_t>::min())) {
    return std::numeric_limits<int32_t>::min();
  }
  // 2^31 is the first float above the int32 range.
  if (v >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(v);
}

int64_t floor_div64(int64_t v) { return v >= 0 ? v / 64 : -((-v + 63) / 64); }
int64_t ceil_div64(int64_t v) { return -floor_div64(-v); }

struct LibraryDeleter {
  void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDeleter {
  void operator()(FT_Face face) const { FT_Done_Face(face); }
};

}  // namespace

namespace {

// The capital height as a fraction of the em: the OS/2 table's figure,
// 0 when the face does not give one.
double cap_height(FT_Face face) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 == nullptr || os2->version < 2 || os2->sCapHeight <= 0) return 0;
  return static_cast<double>(os2->sCapHeight) / face->units_per_EM;
}

}  // namespace

// Declared in this order so that the faces are released before the library
// that owns their memory, and each fallback face before its file's bytes.
struct FontSet::Faces {
  std::unique_ptr<FT_LibraryRec_, LibraryDeleter> library;
  std::unique_ptr<FT_FaceRec_, FaceDeleter> face[kFontCount];

  struct Fallback {
    bool tried = false;
    std::unique_ptr<FontFile> file;
    std::unique_ptr<FT_FaceRec_, FaceDeleter> face;
    double scale = 1;  // fallback em to Inter em, so that capitals match
  };
  std::unique_ptr<FontFolder> folder;
  Fallback fallback[kFallbackFaceCount];

  // Fallback face n, opened on the first call; null when its file is
  // missing or is no TrueType font with a Unicode map. Only TrueType
  // outlines: the program's FreeType has no other driver, and the preview,
  // which draws with the system's FreeType, must find the same faces.
  FT_Face fallback_face(int n) {
    Fallback& f = fallback[n];
    if (f.tried) return f.face.get();
    f.tried = true;
    f.file = folder->open(kFallbackFontFiles[n]);
    if (!f.file) return nullptr;
    std::span<const uint8_t> bytes = f.file->bytes();
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library.get(), bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0) {
      f.file.reset();
      return nullptr;
    }
    f.face.reset(face);
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || std::strcmp(FT_Get_Font_Format(face), "TrueType") != 0 ||
        FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      f.face.reset();
      f.file.reset();
      return nullptr;
    }
    // Within a quarter either way: a face with a wild figure is still drawn
    // at about the size of the text around it.
    const double ours = cap_height(this->face[kFontMedium].get()), theirs = cap_height(face);
    if (ours > 0 && theirs > 0) f.scale = std::clamp(ours / theirs, 0.75, 1.25);
    return face;
  }
};

FT_Face FontSet::face(int font) const {
  if (font < 0 || font >= kFontCount) fatal("font index is 0, 1 or 2");
  return faces_->face[font].get();
}

FontSet::FontSet(std::unique_ptr<Faces> faces) : faces_(std::move(faces)) {}
FontSet::FontSet(FontSet&&) noexcept = default;
FontSet& FontSet::operator=(FontSet&&) noexcept = default;
FontSet::~FontSet() = default;

FontSet load_fonts(std::unique_ptr<FontFolder> fallback) {
  auto faces = std::make_unique<FontSet::Faces>();
  faces->folder = std::move(fallback);
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) fatal("the embedded font is valid");
  faces->library.reset(library);
  for (int i = 0; i < kFontCount; ++i) {
    std::span<const uint8_t> bytes = embedded_font(i);
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, bytes.data(), static_cast<FT_Long>(bytes.size()), 0, &face) != 0) {
      fatal("the embedded font is valid");
    }
    faces->face[i].reset(face);
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 || FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) {
      fatal("the embedded font is valid");
    }
  }
  return FontSet(std::move(faces));
}

uint32_t glyph_size_key(float pixel_size) {
  float v = pixel_size * 64.0f;
  if (!(v > 0)) return 0;  // negative, zero and not-a-number
  // 2^32 is the first float above the uint32 range.
  if (v >= 4294967296.0f) return std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(v);
}

uint32_t FontSet::glyph_index(int font, char32_t character) const { return FT_Get_Char_Index(face(font), character); }

int32_t FontSet::advance_units(int font, uint32_t glyph) const {
  FT_Fixed advance = 0;
  if (FT_Get_Advance(face(font), glyph, FT_LOAD_NO_SCALE, &advance) != 0) return 0;
  return static_cast<int32_t>(advance);
}

int32_t FontSet::units_per_em(int font) const { return face(font)->units_per_EM; }

FontSet::Source FontSet::source(int font, char32_t character) const {
  FT_Face embedded = face(font);
  const uint32_t glyph = FT_Get_Char_Index(embedded, character);
  if (glyph != 0 || !faces_->folder) return {embedded, glyph, kEmbeddedFace, 1};
  for (int n = 0; n < kFallbackFaceCount; ++n) {
    FT_Face fallback = faces_->fallback_face(n);
    const uint32_t found = fallback != nullptr ? FT_Get_Char_Index(fallback, character) : 0;
    if (found != 0) return {fallback, found, static_cast<uint8_t>(n + 1), faces_->fallback[n].scale};
  }
  return {embedded, 0, kEmbeddedFace, 1};
}

std::optional<uint8_t> FontSet::face_for(int font, char32_t character) const {
  const Source s = source(font, character);
  if (s.glyph == 0) return std::nullopt;
  return s.number;
}

int FontSet::fallback_files_tried() const {
  int n = 0;
  for (const Faces::Fallback& f : faces_->fallback) n += f.tried ? 1 : 0;
  return n;
}

const GlyphImage* FontSet::find_cached(const GlyphKey& key) const {
  auto it = cache_.find(key);
  return it == cache_.end() ? nullptr : &it->second;
}

namespace {

// Rasterises one glyph, unhinted, at the exact fractional pixel size. The
// outline is loaded in font units and scaled here rather than through
// FT_Set_Char_Size, so the size is not snapped to 1/64 pixel (or to whole
// pixels by fonts that ask for integer ppem) and no hinting can move a
// point. Bounds are the scaled outline's control box widened to whole
// pixels; the glyph keeps its sub-pixel position inside the bitmap.
GlyphImage rasterize(FT_Library library, FT_Face face, uint32_t glyph, float pixel_size) {
  GlyphImage image;
  if (!(pixel_size > 0)) return image;
  double scale = static_cast<double>(pixel_size) / face->units_per_EM;

  FT_Fixed units = 0;
  if (FT_Get_Advance(face, glyph, FT_LOAD_NO_SCALE, &units) == 0) {
    image.advance = static_cast<float>(static_cast<double>(units) * scale);
  }
  if (pixel_size > kMaxGlyphPixelSize) return image;

  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE) != 0) return image;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) return image;
  FT_Outline& outline = slot->outline;

  // Font units to 26.6 pixels.
  double to_26_6 = scale * 64.0;
  for (int i = 0; i < outline.n_points; ++i) {
    outline.points[i].x = static_cast<FT_Pos>(std::lround(static_cast<double>(outline.points[i].x) * to_26_6));
    outline.points[i].y = static_cast<FT_Pos>(std::lround(static_cast<double>(outline.points[i].y) * to_26_6));
  }
  FT_BBox box;
  FT_Outline_Get_CBox(&outline, &box);
  int64_t left = floor_div64(box.xMin), right = ceil_div64(box.xMax);
  int64_t bottom = floor_div64(box.yMin), top = ceil_div64(box.yMax);
  if (right <= left || top <= bottom) return image;

  FT_Outline_Translate(&outline, static_cast<FT_Pos>(-left * 64), static_cast<FT_Pos>(-bottom * 64));
  uint32_t width = static_cast<uint32_t>(right - left);
  uint32_t height = static_cast<uint32_t>(top - bottom);
  std::vector<uint8_t> coverage(size_t{width} * height, 0);
  FT_Bitmap bitmap{};
  bitmap.rows = height;
  bitmap.width = width;
  bitmap.pitch = static_cast<int>(width);  // positive: top row first
  bitmap.buffer = coverage.data();
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;  // anti-aliased coverage
  if (FT_Outline_Get_Bitmap(library, &outline, &bitmap) != 0) return image;

  image.xmin = static_cast<int32_t>(left);
  image.ymin = static_cast<int32_t>(bottom);
  image.width = width;
  image.height = height;
  image.coverage = std::move(coverage);
  return image;
}

}  // namespace

const GlyphImage& FontSet::glyph(char32_t character, int font, float pixel_size) {
  (void)face(font);  // an index outside 0..2 stops the program before anything else
  // Not cached: tiny positive sizes share size key 0, and they must not lend
  // their advance to a size that has none.
  static const GlyphImage kEmpty;
  if (!(pixel_size > 0)) return kEmpty;
  const Source from = source(font, character);
  GlyphKey key{character, static_cast<uint8_t>(font), glyph_size_key(pixel_size), from.number};
  auto it = cache_.find(key);
  if (it != cache_.end()) return it->second;
  ++rasterizations_;
  // A fallback face is drawn at the size that gives it Inter's capitals.
  const float size = from.number == kEmbeddedFace ? pixel_size : static_cast<float>(pixel_size * from.scale);
  GlyphImage image = rasterize(faces_->library.get(), from.face, from.glyph, size);
  return cache_.emplace(key, std::move(image)).first->second;
}

float measure_text(const FontSet& fonts, std::string_view text, float size, int font) {
  int32_t units_per_em = fonts.units_per_em(font);
  if (!(size > 0)) return 0;
  // Whole font units add up exactly; scaling once at the end keeps the sum
  // free of per-glyph rounding. Fallback glyphs add their advance in ems of
  // Inter, as they are drawn.
  int64_t units = 0;
  double fallback_em = 0;
  size_t i = 0;
  while (i < text.size()) {
    char32_t ch = utf16_detail::next_utf8(text, i);
    const FontSet::Source from = fonts.source(font, ch);
    FT_Fixed advance = 0;
    if (FT_Get_Advance(from.face, from.glyph, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
    if (from.number == kEmbeddedFace) {
      units += advance;
    } else {
      fallback_em += static_cast<double>(advance) * from.scale / from.face->units_per_EM;
    }
  }
  // Nothing has no width at any size (0 x infinity would be not-a-number).
  if (units == 0 && fallback_em == 0) return 0;
  double width = static_cast<double>(units) * size / units_per_em;
  if (fallback_em != 0) width += fallback_em * size;
  return static_cast<float>(width);
}

namespace {

size_t count_characters(std::string_view text) {
  size_t n = 0;
  for (size_t i = 0; i < text.size(); ++n) utf16_detail::next_utf8(text, i);
  return n;
}

float spaced_width(const FontSet& fonts, std::string_view text, float size, int font, float spacing) {
  return measure_text(fonts, text, size, font) + spacing * static_cast<float>(count_characters(text));
}

}  // namespace

FittedText fit_text(const FontSet& fonts, std::string_view text, float size, int font, float max_width, float min_size,
                    float letter_spacing) {
  const float width = spaced_width(fonts, text, size, font, letter_spacing);
  if (width <= max_width) return FittedText{std::string(text), size, width};

  // The advance is linear in the size, so the exact size that fits is one
  // division away; it is taken down to a 1/64 step (the glyph cache's
  // granularity at scale 1) and walked down should rounding still leave it
  // a hair too wide.
  const float spacing = letter_spacing * static_cast<float>(count_characters(text));
  const float natural = measure_text(fonts, text, 1, font);
  if (natural > 0 && min_size < size) {
    float fitted = std::floor(std::min((max_width - spacing) / natural, size) * 64) / 64;
    while (fitted >= min_size) {
      const float w = spaced_width(fonts, text, fitted, font, letter_spacing);
      if (w <= max_width) return FittedText{std::string(text), fitted, w};
      fitted -= 1.0f / 64;
    }
  }

  // Even the smallest size is too wide: keep the longest start that still
  // fits with the ellipsis after it.
  constexpr std::string_view kEllipsis = "\u2026";
  FittedText best{std::string(), min_size, 0};
  const size_t limit = text.size();
  for (size_t end = 0; end < limit;) {
    utf16_detail::next_utf8(text, end);
    std::string_view head = text.substr(0, end);
    while (!head.empty() && head.back() == ' ') head.remove_suffix(1);
    std::string candidate(head);
    candidate += kEllipsis;
    const float w = spaced_width(fonts, candidate, min_size, font, letter_spacing);
    if (w > max_width) break;
    best = FittedText{std::move(candidate), min_size, w};
  }
  if (best.text.empty()) {
    const float w = spaced_width(fonts, kEllipsis, min_size, font, letter_spacing);
    if (w <= max_width) best = FittedText{std::string(kEllipsis), min_size, w};
  }
  return best;
}

void blend_text_row(uint8_t* pixels, const uint8_t* coverage, int64_t count, Color color) {
  int64_t c = 0;
#if defined(__SSE2__)
  // Four pixels at a time, every channel widened to 16 bits, with the same
  // integer arithmetic as blend_text_pixel: no product exceeds 255 * 255,
  // and x / 255 rounded down is (x + 1 + (x >> 8)) >> 8 for x < 65281. The
  // alpha channel is the same sum with 255 as the text's value, so all four
  // channels go through one formula, and the colour channels are then held
  // to the new alpha. Text is drawn on every frame, glyph pixel by pixel.
  const __m128i zero = _mm_setzero_si128();
  const __m128i one = _mm_set1_epi16(1);
  const __m128i full = _mm_set1_epi16(255);
  const __m128i text = _mm_setr_epi16(color.r, color.g, color.b, 255, color.r, color.g, color.b, 255);
  const __m128i text_alpha = _mm_set1_epi16(color.a);
  auto div255 = [&](__m128i x) {
    return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
  };
  // Two pixels' channels (8 lanes) with their source alphas repeated per channel.
  auto blend = [&](__m128i dst, __m128i sa) {
    const __m128i ia = _mm_sub_epi16(full, sa);
    const __m128i v = div255(_mm_add_epi16(_mm_mullo_epi16(sa, text), _mm_mullo_epi16(ia, dst)));
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
    const __m128i out = _mm_min_epi16(v, alpha);
    // A source alpha of 0 (a product below 255) leaves the pixel as it was.
    const __m128i keep = _mm_cmpeq_epi16(sa, zero);
    return _mm_or_si128(_mm_and_si128(keep, dst), _mm_andnot_si128(keep, out));
  };
  for (; c + 4 <= count; c += 4) {
    uint32_t four;
    std::memcpy(&four, coverage + c, 4);
    if (four == 0) continue;
    const __m128i cov = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), zero);
    const __m128i sa = div255(_mm_mullo_epi16(cov, text_alpha));
    const __m128i pairs = _mm_unpacklo_epi16(sa, sa);
    const __m128i dst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + 4 * c));
    const __m128i lo = blend(_mm_unpacklo_epi8(dst, zero), _mm_unpacklo_epi32(pairs, pairs));
    const __m128i hi = blend(_mm_unpackhi_epi8(dst, zero), _mm_unpackhi_epi32(pairs, pairs));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + 4 * c), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; c < count; ++c) {
    if (coverage[c] != 0) blend_text_pixel(pixels + 4 * c, coverage[c], color);
  }
}

void draw_text(const TextTarget& target, FontSet& fonts, float x, float y, std::string_view text, float size, int font,
               Color color, float letter_spacing) {
  if (font < 0 || font >= kFontCount) fatal("font index is 0, 1 or 2");
  // Nothing can show: skip the work (and the rasterising) entirely.
  if (text.empty() || color.a == 0 || target.pixels == nullptr || target.width == 0 || target.height == 0) {
    return;
  }
  const float s = target.scale;
  const float pixel_size = size * s;
  const float spacing = letter_spacing * s;
  const int64_t baseline = saturate_i32(std::round(y * s));
  const int64_t width = target.width, height = target.height;
  float pen = x * s;

  size_t i = 0;
  while (i < text.size()) {
    char32_t ch = utf16_detail::next_utf8(text, i);
    const GlyphImage& g = fonts.glyph(ch, font, pixel_size);
    const int64_t gx = saturate_i32(std::round(pen + static_cast<float>(g.xmin)));
    const int64_t gy = baseline - g.ymin - static_cast<int64_t>(g.height);
    pen += g.advance + spacing;

    const int64_t gw = g.width, gh = g.height;
    const int64_t c0 = std::max<int64_t>(0, -gx), c1 = std::min<int64_t>(gw, width - gx);
    const int64_t r0 = std::max<int64_t>(0, -gy), r1 = std::min<int64_t>(gh, height - gy);
    for (int64_t r = r0; r < r1; ++r) {
      const uint8_t* src = g.coverage.data() + r * gw;
      const int64_t row = (gy + r) * width + gx;
      if (c0 < c1) blend_text_row(target.pixels + (row + c0) * 4, src + c0, c1 - c0, color);
    }
  }
}

}  // namespace vestrana
