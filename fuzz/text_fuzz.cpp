// Text: measuring, drawing and the greedy line breaking of arbitrary UTF-8
// (ill-formed sequences included) at arbitrary sizes, scales and positions,
// drawn into a small pixmap. The fonts are loaded once; the glyph cache is
// started afresh now and then so that wild sizes cannot pile up images.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_values.h"
#include "paint/pixmap.h"
#include "paint/text.h"
#include "ui/screen_text.h"

using namespace vestrana;
using vestrana::fuzz::any_float;

namespace {

FontSet& fonts() {
  static std::optional<FontSet> set;
  if (!set || set->cached_glyphs() > 512) set.emplace(load_fonts());
  return *set;
}

constexpr float kBodySize = 13;  // what the body lines are measured at

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FontSet& set = fonts();
  const int font = in.ConsumeIntegralInRange<int>(0, 2);
  const float text_size = any_float(in, 0, 64);
  const float scale = any_float(in, 0.5f, 5);
  const float x = any_float(in, -100, 700);
  const float y = any_float(in, -100, 500);
  const float spacing = any_float(in, -2, 4);
  const float max_width = any_float(in, 0, 600);
  const int width = in.ConsumeIntegralInRange<int>(1, 48);
  const int height = in.ConsumeIntegralInRange<int>(1, 32);
  const Color background{in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(),
                         in.ConsumeIntegral<uint8_t>()};
  const Color color{in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(),
                    in.ConsumeIntegral<uint8_t>()};
  const std::string text = in.ConsumeRemainingBytesAsString();

  const float measured = measure_text(set, text, text_size, font);
  if (!(text_size > 0) && measured != 0) std::abort();
  if (!(measured >= 0)) std::abort();  // never negative, never not-a-number

  Pixmap pixmap(width, height);
  pixmap.fill(background);
  draw_text(Canvas{pixmap, scale}, set, x, y, text, text_size, font, color, spacing);
  // Premultiplied pixels stay premultiplied: no channel above its alpha.
  for (int py = 0; py < height; ++py) {
    for (int px = 0; px < width; ++px) {
      const auto p = pixmap.pixel(px, py);
      if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3]) std::abort();
    }
  }

  // Greedy breaking: the lines are the words again, each line break is
  // there because the next word did not fit, and a line of several words
  // fits.
  const std::vector<std::string> lines = wrap_body_lines(set, text, max_width);
  std::string joined;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) joined += ' ';
    joined += lines[i];
    const bool several = lines[i].find(' ') != std::string::npos;
    if (several && !(measure_text(set, lines[i], kBodySize, kFontMedium) <= max_width)) std::abort();
    if (i + 1 < lines.size()) {
      const std::string next = lines[i] + ' ' + lines[i + 1].substr(0, lines[i + 1].find(' '));
      if (measure_text(set, next, kBodySize, kFontMedium) <= max_width) std::abort();
    }
  }
  if (joined != text) std::abort();
  return 0;
}
