// Long spans go through the blender's four-pixels-at-a-time path; it must
// give exactly what the per-pixel premultiplied source-over gives, for every
// destination (also runs of equal pixels, whose groups reuse the last
// result), including the pixels left over after the last group of four.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "paint/pixmap.h"

namespace vestrana {
namespace {

std::uint32_t div255(std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

TEST(SpanBlend, WideOpaqueCoverageMatchesPerPixelSourceOver) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 37}) {
    for (int round = 0; round < 40; ++round) {
      Pixmap pm(width, 2);
      // Any valid premultiplied destination: channels never above alpha.
      // Every other round draws from only two pixels, so groups of four
      // repeat, as over a plain background, and often change back and forth.
      std::uint8_t two[2][4];
      for (auto& px : two) {
        px[3] = static_cast<std::uint8_t>(byte(rng));
        for (int c = 0; c < 3; ++c) px[c] = static_cast<std::uint8_t>(byte(rng) * px[3] / 255);
      }
      for (std::size_t i = 0; i < pm.byte_size(); i += 4) {
        const auto a = static_cast<std::uint8_t>(byte(rng));
        for (int c = 0; c < 3; ++c) pm.data()[i + c] = static_cast<std::uint8_t>(byte(rng) * a / 255);
        pm.data()[i + 3] = a;
        if (round % 2 == 1) std::memcpy(pm.data() + i, two[byte(rng) % 5 == 0], 4);
      }
      const Pixmap before = pm;
      const Color color{static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                        static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng))};
      // Whole pixels only, so every covered pixel has full coverage.
      fill_rounded_rect(pm, 0, 0, static_cast<float>(width), 1, 0, color, Transform::identity());
      const std::uint32_t sa = color.a;
      const std::uint8_t src[4] = {static_cast<std::uint8_t>(div255(color.r * sa)),
                                   static_cast<std::uint8_t>(div255(color.g * sa)),
                                   static_cast<std::uint8_t>(div255(color.b * sa)), color.a};
      for (int x = 0; x < width; ++x) {
        const auto d = before.pixel(x, 0);
        const auto got = pm.pixel(x, 0);
        for (int c = 0; c < 4; ++c) {
          const std::uint32_t want = sa == 0 ? d[c] : src[c] + div255(d[c] * (255 - sa));
          ASSERT_EQ(got[c], want) << "width " << width << " x " << x << " channel " << c;
        }
        ASSERT_EQ(pm.pixel(x, 1), before.pixel(x, 1));  // the row below is untouched
      }
    }
  }
}

TEST(SpanBlend, FillSetsEveryPixelOfAnOddSizedPixmap) {
  Pixmap pm(7, 5);
  pm.fill(Color{10, 20, 30, 255});
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(pm.pixel(x, y), (std::array<std::uint8_t, 4>{10, 20, 30, 255}));
}

// Layers drawn with an opaque shape's coverage as `hidden`, then the shape
// filled from that coverage, give the picture that drawing everything in
// full gives: tilted and straight, half-pixel and clipped at the border,
// opaque and translucent layers.
TEST(SpanBlend, LayersUnderAnOpaqueShapeMayLeaveOutWhatItCovers) {
  struct Case {
    float x, y, tilt, scale;
  };
  const Case cases[] = {{10, 8, 0, 1}, {10.5f, 8.25f, -9, 1}, {3, 2, 6, 1.5f}, {-20, -6, 2, 2}, {40, 30, 30, 1}};
  const Color layer_colours[] = {{23, 24, 46, 3}, {23, 24, 46, 2}, {200, 10, 10, 255}, {0, 0, 0, 128}};
  for (const Case& c : cases) {
    Pixmap full(90, 60), saved(90, 60);
    full.fill(Color{240, 240, 245, 255});
    saved.fill(Color{240, 240, 245, 255});
    const Transform tilt = Transform::rotate(c.tilt, c.x + 30, c.y + 15);
    const Canvas a{full, c.scale}, b{saved, c.scale};
    const Coverage body = b.rasterize_rounded_rect(c.x, c.y, 60, 30, 9, tilt);
    int hidden_pixels = 0;
    for (int row = 0; row < saved.height(); ++row)
      hidden_pixels += body.full_run(row).second - body.full_run(row).first;
    for (int j = 0; j < 4; ++j) {
      const float g = 1.5f + 2.2f * static_cast<float>(j);
      a.fill_rounded_rect(c.x - g, c.y - g + 3, 60 + 2 * g, 30 + 2 * g, 9 + g, layer_colours[j], tilt);
      b.fill_rounded_rect(c.x - g, c.y - g + 3, 60 + 2 * g, 30 + 2 * g, 9 + g, layer_colours[j], tilt, &body);
    }
    a.fill_rounded_rect(c.x, c.y, 60, 30, 9, Color{255, 255, 255, 255}, tilt);
    b.fill_coverage(body, Color{255, 255, 255, 255});
    EXPECT_GT(hidden_pixels, 100) << "tilt " << c.tilt;
    ASSERT_EQ(0, std::memcmp(full.data(), saved.data(), full.byte_size())) << "tilt " << c.tilt << " scale " << c.scale;
  }
}

}  // namespace
}  // namespace vestrana
