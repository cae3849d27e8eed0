#include "paint/pixmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace vestrana {
namespace {

using Px = std::array<std::uint8_t, 4>;

constexpr Color kRed{255, 0, 0, 255};
constexpr Px kClear{0, 0, 0, 0};
constexpr Px kFullRed{255, 0, 0, 255};

// The open path of one straight line.
Path segment(float x0, float y0, float x1, float y1) {
  Path path;
  path.move_to(x0, y0);
  path.line_to(x1, y1);
  return path;
}

// Total coverage in pixels (alpha summed, 255 = one pixel).
double coverage(const Pixmap& pm) {
  double sum = 0;
  for (int y = 0; y < pm.height(); ++y)
    for (int x = 0; x < pm.width(); ++x) sum += pm.pixel(x, y)[3];
  return sum / 255.0;
}

// Pixels with any ink, as a bounding box {x0, y0, x1, y1} (exclusive ends).
std::array<int, 4> ink_box(const Pixmap& pm) {
  std::array<int, 4> box{pm.width(), pm.height(), 0, 0};
  for (int y = 0; y < pm.height(); ++y)
    for (int x = 0; x < pm.width(); ++x)
      if (pm.pixel(x, y)[3] != 0) {
        box[0] = std::min(box[0], x);
        box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x + 1);
        box[3] = std::max(box[3], y + 1);
      }
  return box;
}

// Every pixel inside [x0,x1)x[y0,y1) is `inside`, every other one clear.
void expect_exact_rect(const Pixmap& pm, int x0, int y0, int x1, int y1, Px inside) {
  for (int y = 0; y < pm.height(); ++y)
    for (int x = 0; x < pm.width(); ++x) {
      const bool in = x >= x0 && x < x1 && y >= y0 && y < y1;
      ASSERT_EQ(pm.pixel(x, y), in ? inside : kClear) << "pixel " << x << "," << y;
    }
}

const Transform kId = Transform::identity();

TEST(FillRect, IntegerRectCoversExactlyItsPixels) {
  Pixmap pm(12, 12);
  fill_rounded_rect(pm, 2, 3, 5, 4, 0, kRed, kId);
  expect_exact_rect(pm, 2, 3, 7, 7, kFullRed);
}

TEST(FillRect, HalfPixelEdgesArePartiallyCovered) {
  Pixmap pm(12, 6);
  fill_rounded_rect(pm, 2.5f, 1, 3, 2, 0, kRed, kId);
  for (int y : {1, 2}) {
    EXPECT_EQ(pm.pixel(1, y), kClear);
    EXPECT_NEAR(pm.pixel(2, y)[3], 128, 2);
    for (int x : {3, 4}) EXPECT_EQ(pm.pixel(x, y), kFullRed) << x;
    EXPECT_NEAR(pm.pixel(5, y)[3], 128, 2);
    EXPECT_EQ(pm.pixel(6, y), kClear);
    // Premultiplied: red carries the partial alpha too.
    EXPECT_EQ(pm.pixel(2, y)[0], pm.pixel(2, y)[3]);
  }
  EXPECT_EQ(pm.pixel(3, 0), kClear);
  EXPECT_EQ(pm.pixel(3, 3), kClear);
}

TEST(FillRect, ClipsAtThePixmapBorders) {
  Pixmap pm(8, 8);
  fill_rounded_rect(pm, -5, 6, 9, 10, 0, kRed, kId);
  expect_exact_rect(pm, 0, 6, 4, 8, kFullRed);
  fill_rounded_rect(pm, 20, 20, 5, 5, 0, kRed, kId);  // entirely outside
  expect_exact_rect(pm, 0, 6, 4, 8, kFullRed);
}

TEST(FillRect, NothingForEmptySizesTransparentColourOrBadNumbers) {
  Pixmap pm(10, 10);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  fill_rounded_rect(pm, 1, 1, 0, 5, 0, kRed, kId);
  fill_rounded_rect(pm, 1, 1, 5, -2, 0, kRed, kId);
  fill_rounded_rect(pm, 1, 1, 5, 5, 0, kRed.with_alpha(0), kId);
  fill_rounded_rect(pm, nan, 1, 5, 5, 0, kRed, kId);
  fill_rounded_rect(pm, 1, 1, 5, 5, 0, kRed, Transform::scale(nan, 1));
  // Far beyond what the rasterizer can take: skipped, not wrapped around.
  fill_rounded_rect(pm, -1e9f, -1e9f, 2e9f, 2e9f, 0, kRed, kId);
  fill_circle(pm, 5, 5, 0, kRed, kId);
  fill_circle(pm, 5, 5, -3, kRed, kId);
  EXPECT_EQ(coverage(pm), 0);
}

TEST(RoundedRect, CornerIsClearWhileEdgeCentresAreCovered) {
  Pixmap pm(40, 20);
  fill_rounded_rect(pm, 0, 0, 40, 20, 8, kRed, kId);
  for (auto [x, y] : {std::pair{0, 0}, {39, 0}, {0, 19}, {39, 19}}) EXPECT_EQ(pm.pixel(x, y), kClear);
  for (auto [x, y] : {std::pair{20, 0}, {20, 19}, {0, 10}, {39, 10}, {20, 10}})
    EXPECT_EQ(pm.pixel(x, y), kFullRed) << x << "," << y;
  // Area: a quarter circle replaces each corner square: w h - (4 - pi) r^2.
  EXPECT_NEAR(coverage(pm), 40 * 20 - (4 - M_PI) * 64, 0.005 * 800);
}

TEST(RoundedRect, RadiusIsLimitedToHalfTheShorterSide) {
  Pixmap huge(40, 20);
  Pixmap half(40, 20);
  fill_rounded_rect(huge, 0, 0, 40, 20, 1000, kRed, kId);
  fill_rounded_rect(half, 0, 0, 40, 20, 10, kRed, kId);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(huge.pixel(x, y), half.pixel(x, y));
  // A stadium: the short sides are half circles touching the edge midpoints.
  EXPECT_EQ(half.pixel(0, 10)[3], half.pixel(0, 9)[3]);
  EXPECT_GT(half.pixel(0, 9)[3], 100);
  EXPECT_EQ(half.pixel(0, 3), kClear);
}

TEST(RoundedRect, NegativeOrMissingRadiusGivesPlainRect) {
  for (float r : {-4.0f, 0.0f, std::numeric_limits<float>::quiet_NaN()}) {
    Pixmap pm(10, 10);
    fill_rounded_rect(pm, 1, 2, 6, 5, r, kRed, kId);
    expect_exact_rect(pm, 1, 2, 7, 7, kFullRed);
  }
}

TEST(Circle, AreaMatchesPiRSquared) {
  for (auto [cx, cy, r] : {std::tuple{50.0f, 50.0f, 40.0f}, {31.3f, 27.8f, 17.5f}, {12.0f, 12.0f, 6.0f}}) {
    Pixmap pm(100, 100);
    fill_circle(pm, cx, cy, r, kRed, kId);
    const double expected = M_PI * r * r;
    EXPECT_NEAR(coverage(pm), expected, 0.01 * expected) << "r=" << r;
  }
}

TEST(Circle, ReachesItsRadiusAndNoFurther) {
  Pixmap pm(100, 100);
  fill_circle(pm, 50, 50, 40, kRed, kId);
  EXPECT_EQ(ink_box(pm), (std::array<int, 4>{10, 10, 90, 90}));
  EXPECT_EQ(pm.pixel(50, 11), kFullRed);
  EXPECT_EQ(pm.pixel(13, 13), kClear);  // outside the arc at 45 degrees
}

TEST(Stroke, LineHasTheGivenWidthAndRoundCaps) {
  Pixmap pm(60, 40);
  Path line = segment(10, 20, 50, 20);
  stroke_path(pm, line, 4, kRed, kId);
  for (int y = 0; y < 40; ++y) EXPECT_EQ(pm.pixel(30, y), (y >= 18 && y < 22) ? kFullRed : kClear) << y;
  // Round caps reach half the width past each end.
  EXPECT_GT(pm.pixel(8, 19)[3], 0);
  EXPECT_GT(pm.pixel(51, 20)[3], 0);
  EXPECT_EQ(pm.pixel(7, 20), kClear);
  EXPECT_EQ(pm.pixel(52, 20), kClear);
  EXPECT_NEAR(coverage(pm), 40 * 4 + M_PI * 4, 0.02 * 172.6);
}

TEST(Stroke, WidthScalesWithTheTransform) {
  Path line = segment(5, 10, 25, 10);
  Pixmap pm(60, 40);
  stroke_path(pm, line, 2, kRed, Transform::scale(2, 2));
  for (int y = 0; y < 40; ++y) EXPECT_EQ(pm.pixel(30, y), (y >= 18 && y < 22) ? kFullRed : kClear) << y;

  // Non-uniform: the pen is stretched with the path, so a vertical line
  // widens with x and a horizontal one keeps its height.
  Path vertical = segment(10, 5, 10, 30);
  Pixmap wide(60, 40);
  stroke_path(wide, vertical, 2, kRed, Transform::scale(3, 1));
  // Off the pixel grid by a rounding hair at most.
  for (int x = 0; x < 60; ++x) EXPECT_NEAR(wide.pixel(x, 15)[3], (x >= 27 && x < 33) ? 255 : 0, 1) << x;
  Pixmap flat(60, 40);
  stroke_path(flat, line, 2, kRed, Transform::scale(2, 1));
  for (int y = 0; y < 40; ++y) EXPECT_NEAR(flat.pixel(30, y)[3], (y >= 9 && y < 11) ? 255 : 0, 1) << y;
}

TEST(Stroke, ClosedPathIsARingAndOpenPathsMixWithClosedOnes) {
  Pixmap pm(40, 40);
  Path path;
  path.add_rect(10, 10, 20, 20);
  path.move_to(2, 36);  // an open line after the closed square
  path.line_to(38, 36);
  stroke_path(pm, path, 2, kRed, kId);
  EXPECT_EQ(pm.pixel(20, 20), kClear);  // inside of the ring stays empty
  EXPECT_EQ(pm.pixel(20, 9), kFullRed);
  EXPECT_EQ(pm.pixel(10, 20), kFullRed);
  // The outer corner pixel holds a quarter disc of radius 1 (pi/4 of it):
  // a miter join would fill it, a bevel join only half.
  EXPECT_NEAR(pm.pixel(9, 9)[3], 200, 6);
  EXPECT_EQ(pm.pixel(20, 36), kFullRed);
  EXPECT_EQ(pm.pixel(20, 33), kClear);  // the open line was not closed back
}

TEST(Stroke, DegenerateInputDrawsNothing) {
  Pixmap pm(20, 20);
  Path dot = segment(10, 10, 10, 10);
  stroke_path(pm, dot, 4, kRed, kId);
  Path line = segment(2, 2, 18, 18);
  stroke_path(pm, line, 0, kRed, kId);
  stroke_path(pm, line, -1, kRed, kId);
  stroke_path(pm, line, 2, kRed, Transform::scale(0, 1));  // collapses the plane
  stroke_path(pm, Path{}, 2, kRed, kId);
  EXPECT_EQ(coverage(pm), 0);
  // A degenerate subpath does not hide the sound ones in the same path.
  dot.move_to(2, 10);
  dot.line_to(18, 10);
  stroke_path(pm, dot, 2, kRed, kId);
  EXPECT_EQ(pm.pixel(10, 9), kFullRed);
}

TEST(TransformTest, CompositionOrderAndRotationSense) {
  auto near = [](Point a, Point b) { return std::fabs(a.x - b.x) < 1e-4f && std::fabs(a.y - b.y) < 1e-4f; };
  const Point p{1, 1};
  EXPECT_TRUE(near(Transform::translate(10, 0).then(Transform::scale(2, 2)).map(p), {22, 2}));
  EXPECT_TRUE(near(Transform::scale(2, 2).then(Transform::translate(10, 0)).map(p), {12, 2}));
  // Positive angles turn clockwise on screen (y down): right becomes down.
  EXPECT_TRUE(near(Transform::rotate(90).map({1, 0}), {0, 1}));
  EXPECT_TRUE(near(Transform::rotate(-90, 5, 5).map({6, 5}), {5, 4}));
  EXPECT_TRUE(near(Transform::rotate(30, 3, 4).map({3, 4}), {3, 4}));  // the pivot stays
  const Point r = Transform::rotate(30).map({2, 0});
  EXPECT_NEAR(r.x, 2 * std::cos(M_PI / 6), 1e-5);
  EXPECT_NEAR(r.y, 2 * std::sin(M_PI / 6), 1e-5);
}

TEST(TransformTest, QuarterTurnMapsARectOntoExactPixels) {
  Pixmap pm(40, 40);
  // x 20..30, y 10..14 around (20, 20) -> x 26..30, y 20..30.
  fill_rounded_rect(pm, 20, 10, 10, 4, 0, kRed, Transform::rotate(90, 20, 20));
  expect_exact_rect(pm, 26, 20, 30, 30, kFullRed);
}

TEST(TransformTest, CanvasScaleDoublesExtentsAfterTheShapeTransform) {
  Pixmap pm(20, 20);
  Canvas canvas{pm, 2};
  canvas.fill_rect(1, 1, 3, 2, kRed, Transform::translate(1, 0));
  expect_exact_rect(pm, 4, 2, 10, 6, kFullRed);
}

TEST(Blend, SourceOverOnPremultipliedPixels) {
  Pixmap pm(4, 1);
  pm.fill(Color{0, 0, 255, 255});
  fill_rounded_rect(pm, 0, 0, 1, 1, 0, Color{255, 0, 0, 128}, kId);
  EXPECT_EQ(pm.pixel(0, 0), (Px{128, 0, 127, 255}));
  EXPECT_EQ(pm.pixel(1, 0), (Px{0, 0, 255, 255}));

  Pixmap clear(2, 1);
  fill_rounded_rect(clear, 0, 0, 1, 1, 0, Color{200, 100, 50, 128}, kId);
  EXPECT_EQ(clear.pixel(0, 0), (Px{100, 50, 25, 128}));
  fill_rounded_rect(clear, 0, 0, 1, 1, 0, Color{0, 0, 0, 128}, kId);  // onto half-covered
  EXPECT_EQ(clear.pixel(0, 0), (Px{50, 25, 12, 192}));
  fill_rounded_rect(clear, 0, 0, 1, 1, 0, Color{10, 20, 30, 255}, kId);  // opaque replaces
  EXPECT_EQ(clear.pixel(0, 0), (Px{10, 20, 30, 255}));
}

TEST(Blend, PremultipliedChannelsNeverExceedAlpha) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_real_distribution<float> pos(0, 3);
  Pixmap pm(8, 8);
  for (int i = 0; i < 300; ++i) {
    const Color c{static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng)),
                  static_cast<std::uint8_t>(byte(rng)), static_cast<std::uint8_t>(byte(rng))};
    fill_circle(pm, pos(rng) + 2, pos(rng) + 2, pos(rng) + 0.5f, c, kId);
  }
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const Px p = pm.pixel(x, y);
      ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]) << x << "," << y;
    }
}

TEST(PixmapTest, FillPremultipliesAndOutsideReadsClear) {
  Pixmap pm(3, 2);
  pm.fill(Color{200, 100, 0, 255});
  EXPECT_EQ(pm.pixel(2, 1), (Px{200, 100, 0, 255}));
  pm.fill(Color{200, 100, 0, 51});
  EXPECT_EQ(pm.pixel(0, 0), (Px{40, 20, 0, 51}));
  EXPECT_EQ(pm.pixel(3, 0), kClear);
  EXPECT_EQ(pm.pixel(0, -1), kClear);
  EXPECT_EQ(Pixmap(-3, 5).byte_size(), 0u);
  EXPECT_EQ(pm.byte_size(), 24u);
}

TEST(PathTest, SegmentsWithoutMoveStartWhereTheLastSubpathStarted) {
  Path p;
  p.line_to(5, 5);  // starts at the origin
  p.move_to(1, 1);
  p.move_to(2, 2);  // replaces the empty subpath
  p.line_to(3, 3);
  p.close();
  p.line_to(4, 4);  // new subpath from (2, 2)
  using V = Path::Verb;
  EXPECT_EQ(p.verbs(), (std::vector<V>{V::Move, V::Line, V::Move, V::Line, V::Close, V::Move, V::Line}));
  std::vector<std::pair<float, float>> points;
  for (Point q : p.points()) points.emplace_back(q.x, q.y);
  EXPECT_EQ(points, (std::vector<std::pair<float, float>>{{0, 0}, {5, 5}, {2, 2}, {3, 3}, {2, 2}, {4, 4}}));
}

TEST(Mix, RoundsHalvesAwayFromZeroAndClampsT) {
  const Color black{0, 0, 0, 255};
  const Color white{255, 255, 255, 255};
  EXPECT_EQ(mix(black, white, 0.5f), (Color{128, 128, 128, 255}));  // 127.5
  EXPECT_EQ(mix(Color{11, 10, 0, 0}, Color{10, 11, 1, 255}, 0.5f), (Color{11, 11, 1, 128}));
  EXPECT_EQ(mix(black, white, 0.1f), (Color{26, 26, 26, 255}));  // 25.5
  EXPECT_EQ(mix(black, white, 2), white);
  EXPECT_EQ(mix(black, white, -1), black);
  EXPECT_EQ(mix(black, white, std::numeric_limits<float>::quiet_NaN()), black);
  EXPECT_EQ(mix(Color{217, 219, 232, 255}, Color{21, 22, 43, 255}, 0.1f), (Color{197, 199, 213, 255}));
}

}  // namespace
}  // namespace vestrana
