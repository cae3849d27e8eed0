#pragma once
// The pixel kernels of the shape painter: premultiplied source-over on
// pixel words, shared by the span callback of the rasterizer, coverage
// fills and the whole-pixmap fill. The loops over rows are built for speed
// (see the top CMakeLists.txt); the per-pixel helpers are inline so that
// every caller computes them the same way.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "paint/pixmap.h"

namespace vestrana {

constexpr std::uint32_t div255(std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

// A pixel as one 32-bit word: red in the low byte, alpha in the high byte.
static_assert(std::endian::native == std::endian::little, "pixels are read as little-endian words");

inline std::uint32_t pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return r | (g << 8) | (b << 16) | (a << 24);
}

// d * ia / 255 for all four channels at once, rounded exactly like div255:
// two channels share a word, 16 bits apart, and 255 * 255 + 128 + 254 still
// fits in 16 bits, so no lane spills into the next.
inline std::uint32_t scale_pixel(std::uint32_t d, std::uint32_t ia) {
  std::uint32_t rb = (d & 0x00FF00FFu) * ia + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  std::uint32_t ga = ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
  ga = (ga + ((ga >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return rb | ga;
}

// The colour at a coverage as a premultiplied pixel word: its alpha is the
// colour's alpha times the coverage, and 0 (nothing shows) gives 0.
// Scaling the opaque colour by that alpha gives each channel as
// div255(channel * alpha) and the alpha itself (div255(255 * a) == a) in two
// multiplications; the edge pixels of every shape need one of these each.
inline std::uint32_t source_pixel(Color color, std::uint8_t coverage) {
  return scale_pixel(pack(color.r, color.g, color.b, 255), div255(std::uint32_t{color.a} * coverage));
}

// Writes one pixel word over n pixels, four at a time where it can: the
// full-canvas fill of every frame, card bodies and buttons.
void store_run(std::uint8_t* p, std::size_t n, std::uint32_t px);

// Blends the colour at the coverage over the pixels [x0, x1) of one row.
void blend_run(std::uint8_t* line, int x0, int x1, Color color, std::uint8_t coverage);

}  // namespace vestrana
