#include "paint/pixel_blend.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "paint/raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrana {

void store_run(std::uint8_t* p, std::size_t n, std::uint32_t px) {
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i four = _mm_set1_epi32(static_cast<int>(px));
  for (; k + 4 <= n; k += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), four);
#endif
  for (; k < n; ++k) std::memcpy(p + 4 * k, &px, 4);
}

// Blends the colour at the coverage over the pixels [x0, x1) of one row.
void blend_run(std::uint8_t* line, int x0, int x1, Color color, std::uint8_t coverage) {
  if (x1 <= x0) return;
  // Premultiplied source-over: out = src + dst (255 - src alpha) / 255.
  // Channels never exceed alpha, so the sum cannot carry between bytes.
  const std::uint32_t src = source_pixel(color, coverage);
  if (src == 0) return;
  const std::uint32_t ia = 255 - (src >> 24);
  std::uint8_t* p = line + static_cast<std::size_t>(x0) * 4;
  const std::size_t n = static_cast<std::size_t>(x1 - x0);
  if (ia == 0) {
    store_run(p, n, src);
    return;
  }
  std::size_t k = 0;
#if defined(__SSE2__)
  const __m128i source = _mm_set1_epi32(static_cast<int>(src));
  // Four pixels at a time, bit for bit what scale_pixel computes: every
  // channel widened to 16 bits, d * ia + 128 (at most 65153), then
  // (v + (v >> 8)) >> 8. The large translucent card shadows spend most of
  // a frame here.
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi16(static_cast<short>(ia));
  const __m128i bias = _mm_set1_epi16(128);
  // Translucent layers mostly cover a plain area (the background, or the
  // layer below blended over it), so four pixels equal to the last four
  // blended get the same result without the arithmetic.
  __m128i seen = _mm_setzero_si128(), made = _mm_setzero_si128();
  bool have = false;
  for (; k + 4 <= n; k += 4) {
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4 * k));
    if (have && _mm_movemask_epi8(_mm_cmpeq_epi32(d, seen)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), made);
      continue;
    }
    __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), bias);
    __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), bias);
    lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
    const __m128i out = _mm_add_epi8(_mm_packus_epi16(lo, hi), source);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4 * k), out);
    seen = d;
    made = out;
    have = true;
  }
#endif
  for (; k < n; ++k) {
    std::uint32_t d;
    std::memcpy(&d, p + 4 * k, 4);
    d = src + scale_pixel(d, ia);
    std::memcpy(p + 4 * k, &d, 4);
  }
}

// FreeType reports rows in its own upward y: row y covers [y, y+1) there,
// which is our row -y-1 after the negation in Outline::add.
void blend_spans(int y, int count, const FT_Span* spans, void* user) {
  const auto& t = *static_cast<const SpanTarget*>(user);
  const int row = -y - 1;
  if (row < 0 || row >= t.height) return;
  std::uint8_t* line = t.pixels + static_cast<std::size_t>(row) * static_cast<std::size_t>(t.width) * 4;
  const auto [hidden_first, hidden_end] = t.hidden != nullptr ? t.hidden->full_run(row) : std::pair<int, int>{0, 0};
  // Read once: the pixel stores below could alias the target as far as the
  // compiler knows.
  const int width = t.width;
  const std::uint32_t alpha = t.color.a;
  const std::uint32_t opaque = pack(t.color.r, t.color.g, t.color.b, 255);
  for (int i = 0; i < count; ++i) {
    const int x0 = std::max<int>(spans[i].x, 0);
    const int x1 = std::min<int>(spans[i].x + spans[i].len, width);
    if (x1 - x0 == 1 && !(hidden_first <= x0 && x0 < hidden_end)) {
      // Most spans are one edge pixel: blended here, without the run's
      // setup (source_pixel spelled out, its alpha tested before the rest).
      const std::uint32_t sa = div255(alpha * spans[i].coverage);
      if (sa == 0) continue;
      std::uint32_t d;
      std::memcpy(&d, line + 4 * static_cast<std::size_t>(x0), 4);
      d = scale_pixel(opaque, sa) + scale_pixel(d, 255 - sa);
      std::memcpy(line + 4 * static_cast<std::size_t>(x0), &d, 4);
      continue;
    }
    if (hidden_first < hidden_end && x0 < hidden_end && hidden_first < x1) {
      // Only what lies beside the hidden run.
      blend_run(line, x0, hidden_first, t.color, spans[i].coverage);
      blend_run(line, hidden_end, x1, t.color, spans[i].coverage);
    } else {
      blend_run(line, x0, x1, t.color, spans[i].coverage);
    }
  }
}

}  // namespace vestrana
