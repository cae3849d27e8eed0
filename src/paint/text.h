#pragma once
// Text for the setup window: the three embedded Inter faces, measuring runs
// for layout, and drawing runs into the premultiplied RGBA pixmap.
//
// A character that Inter does not map (a Chinese user name in a path, an
// error text from a Japanese Windows) is taken from the first fallback face
// of the system's fonts folder that maps it (see font_folder.h), scaled so
// that its capitals stand as high as Inter's; a character that no face maps
// is Inter's missing-glyph box. The fallback faces are opened when such a
// character is first measured or drawn, each once, and kept. Text in a
// script that needs shaping (Arabic, Hebrew, the Indic scripts) comes out
// as its characters' isolated forms, left to right, one after the other.
//
// There is no shaping, kerning or line breaking: a run is laid out character
// by character along one baseline, each character advancing the pen by its
// unhinted advance width. Glyph images are rasterised once per (character,
// font, pixel size) and kept for the life of the FontSet, so repainting an
// animated screen only blends cached coverage.
//
// Everything here runs on the window thread; a FontSet is used by one call
// at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "paint/font_folder.h"
#include "paint/pixmap.h"

struct FT_FaceRec_;

namespace vestrana {

inline constexpr int kFontMedium = 0;  // body text, option labels, step text
inline constexpr int kFontBold = 1;  // headings, buttons, badge, percentage
inline constexpr int kFontExtraBold = 2;  // the product name only

// Glyphs larger than this many pixels are never rasterised: they keep their
// advance but draw no ink. The window never comes near it (the largest text
// is 40 units at the highest DPI scales), and it keeps a wild size from
// allocating a coverage bitmap of gigabytes.
inline constexpr float kMaxGlyphPixelSize = 1024;

// The pixel size as the cache sees it: size x 64 truncated toward zero, 0
// for negative sizes and not-a-number, 4294967295 beyond the 32-bit range.
// Sizes that share a key share their glyph images.
uint32_t glyph_size_key(float pixel_size);

// The face that draws a character: the embedded face of the font index, or
// fallback face n (1 + its index in kFallbackFontFiles).
inline constexpr uint8_t kEmbeddedFace = 0;

struct GlyphKey {
  char32_t character = 0;
  uint8_t font = 0;
  uint32_t size_key = 0;
  uint8_t face = kEmbeddedFace;

  friend bool operator==(const GlyphKey&, const GlyphKey&) = default;
};

struct GlyphKeyHash {
  size_t operator()(const GlyphKey& key) const {
    uint64_t h =
        (uint64_t{key.character} << 40) ^ (uint64_t{key.face} << 36) ^ (uint64_t{key.font} << 32) ^ key.size_key;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 32;
    return static_cast<size_t>(h);
  }
};

// A rasterised glyph. The bitmap's left column lies xmin pixels right of the
// pen and its bottom row ymin pixels above the baseline (y up); coverage
// holds width x height bytes, top row first, 0 = no ink, 255 = full ink.
struct GlyphImage {
  int32_t xmin = 0;
  int32_t ymin = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  float advance = 0;  // pixels, unrounded
  std::vector<uint8_t> coverage;
};

// The three loaded faces (index 0 Medium, 1 Bold, 2 ExtraBold) and the glyph
// cache. Built only by load_fonts; movable, not copyable.
class FontSet {
 public:
  FontSet(FontSet&&) noexcept;
  FontSet& operator=(FontSet&&) noexcept;
  ~FontSet();

  // The embedded font's glyph for the character; 0 (the missing-glyph
  // shape) when the font does not map it. A font index outside 0..2 stops
  // the program.
  uint32_t glyph_index(int font, char32_t character) const;
  // The face that draws the character in that font (kEmbeddedFace or a
  // fallback face), or nothing when no face maps it and the box is drawn.
  // Opens the fallback faces it needs, as measuring and drawing do.
  std::optional<uint8_t> face_for(int font, char32_t character) const;
  // The glyph's advance in font units, straight from the metrics table.
  int32_t advance_units(int font, uint32_t glyph) const;
  int32_t units_per_em(int font) const;

  // The cached image of the character at the pixel size, from the face that
  // face_for names, rasterised on the first request. Pixel sizes <= 0 (and not-a-number) give an empty image
  // with zero advance. The reference stays valid for the FontSet's life.
  const GlyphImage& glyph(char32_t character, int font, float pixel_size);

  // What the cache holds, for layout code that wants to know and for tests.
  size_t cached_glyphs() const { return cache_.size(); }
  const GlyphImage* find_cached(const GlyphKey& key) const;
  // How many glyph images have been rasterised so far (cache misses).
  uint64_t rasterizations() const { return rasterizations_; }
  // How many fallback font files have been opened (present or not).
  int fallback_files_tried() const;

 private:
  struct Faces;
  // Where a character's glyph comes from: the face, its glyph, the key's
  // face number and the factor that scales the face's em to Inter's.
  struct Source {
    FT_FaceRec_* face;
    uint32_t glyph;
    uint8_t number;
    double scale;
  };
  explicit FontSet(std::unique_ptr<Faces> faces);
  // The face for a font index; an index outside 0..2 stops the program.
  FT_FaceRec_* face(int font) const;
  // The embedded face when it maps the character, else the first fallback
  // face that does (opening faces on the way), else the embedded box.
  Source source(int font, char32_t character) const;
  friend FontSet load_fonts(std::unique_ptr<FontFolder>);
  friend float measure_text(const FontSet&, std::string_view, float, int);

  std::unique_ptr<Faces> faces_;
  std::unordered_map<GlyphKey, GlyphImage, GlyphKeyHash> cache_;
  uint64_t rasterizations_ = 0;
};

// Parses the three embedded faces. They are part of the program, so a parse
// failure is a programming error: the program stops with
// "the embedded font is valid". The fallback faces come from `fallback`
// (none without it); a file there that is not a TrueType font with a
// Unicode character map counts as missing.
FontSet load_fonts(std::unique_ptr<FontFolder> fallback = nullptr);

// The advance width of the run at `size` in the same units as the size: the
// sum of every character's unhinted advance, unrounded, without letter
// spacing. Reads only the metrics (no rasterising, no cache). Sizes <= 0
// measure 0. Ill-formed UTF-8 counts as U+FFFD per bad sequence.
float measure_text(const FontSet& fonts, std::string_view text, float size, int font);

// A run made to fit a width: what to draw and at which size.
struct FittedText {
  std::string text;
  float size = 0;
  float width = 0;  // measured at `size`, letter spacing included
};

// Fits `text` into `max_width` (logical units, letter spacing after every
// character included). A run that fits keeps its text and size exactly.
// Otherwise it is drawn at the largest size, in steps of 1/64 unit and not
// below `min_size`, at which it fits; only when even `min_size` is too wide
// is it cut at a character boundary, trailing spaces dropped, and ended
// with an ellipsis (U+2026) at `min_size`. When not even the ellipsis fits,
// the text is empty.
FittedText fit_text(const FontSet& fonts, std::string_view text, float size, int font, float max_width, float min_size,
                    float letter_spacing = 0);

// Where draw_text paints: width x height premultiplied RGBA pixels, rows top
// to bottom without padding, and the scale from logical units to pixels.
struct TextTarget {
  uint8_t* pixels = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  float scale = 1;
};

// Blends one glyph pixel: coverage (0..255) times the colour's straight alpha
// decides the source alpha; products below 255 leave the pixel alone, so
// the faint fringe of a glyph never creeps into neighbouring pixels. The
// rest is premultiplied source-over in integer arithmetic.
inline void blend_text_pixel(uint8_t* pixel, uint8_t coverage, Color color) {
  uint32_t a = uint32_t{coverage} * color.a;
  if (a < 255) return;
  uint32_t sa = a / 255;
  uint32_t ia = 255 - sa;
  uint32_t alpha = sa + ia * pixel[3] / 255;
  const uint8_t text[3] = {color.r, color.g, color.b};
  for (int i = 0; i < 3; ++i) {
    uint32_t v = (sa * text[i] + ia * pixel[i]) / 255;
    pixel[i] = static_cast<uint8_t>(v < alpha ? v : alpha);
  }
  pixel[3] = static_cast<uint8_t>(alpha);
}

// Blends `count` glyph pixels in a row, each as blend_text_pixel does, with
// their coverage values in the same order.
void blend_text_row(uint8_t* pixels, const uint8_t* coverage, int64_t count, Color color);

// Draws the run with the left end of its baseline at the logical point
// (x, y), at logical size `size`, in `color` (straight alpha), adding
// letter_spacing logical units after every character. The pen position
// stays fractional; only each glyph's placement is rounded to whole pixels,
// so spacing stays even at fractional scales. Pixels outside the target are
// clipped. Ill-formed UTF-8 draws U+FFFD (the missing-glyph shape).
void draw_text(const TextTarget& target, FontSet& fonts, float x, float y, std::string_view text, float size, int font,
               Color color, float letter_spacing);

inline void draw_text(const Canvas& canvas, FontSet& fonts, float x, float y, std::string_view text, float size,
                      int font, Color color, float letter_spacing) {
  Pixmap& pixmap = canvas.pixmap;
  TextTarget target{pixmap.data(), static_cast<uint32_t>(pixmap.width() > 0 ? pixmap.width() : 0),
                    static_cast<uint32_t>(pixmap.height() > 0 ? pixmap.height() : 0), canvas.scale};
  draw_text(target, fonts, x, y, text, size, font, color, letter_spacing);
}

}  // namespace vestrana
