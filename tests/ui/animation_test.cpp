#include "ui/animation.h"

#include <gtest/gtest.h>

#include <limits>

namespace vestrana {
namespace {

TEST(Easing, ValuesAtTheEndsAndMiddle) {
  EXPECT_FLOAT_EQ(ease_out_cubic(0), 0);
  EXPECT_FLOAT_EQ(ease_out_cubic(0.5f), 0.875f);
  EXPECT_FLOAT_EQ(ease_out_cubic(1), 1);
  EXPECT_FLOAT_EQ(ease_out_cubic(-3), 0);
  EXPECT_FLOAT_EQ(ease_out_cubic(7), 1);
  EXPECT_FLOAT_EQ(ease_out_cubic(std::numeric_limits<float>::quiet_NaN()), 0);

  EXPECT_NEAR(ease_out_back(0), 0, 1e-6);
  EXPECT_NEAR(ease_out_back(0.5f), 1.0876975, 1e-6);
  EXPECT_FLOAT_EQ(ease_out_back(1), 1);
  EXPECT_FLOAT_EQ(ease_out_back(5), 1);
}

TEST(Easing, BackOvershootsThenSettles) {
  float peak = 0;
  float peak_at = 0;
  for (int i = 0; i <= 1000; ++i) {
    const float p = i / 1000.0f;
    if (ease_out_back(p) > peak) {
      peak = ease_out_back(p);
      peak_at = p;
    }
  }
  EXPECT_NEAR(peak, 1.1, 0.005);  // the familiar 10 % overshoot
  EXPECT_GT(peak_at, 0.5f);
  EXPECT_LT(peak_at, 0.75f);
}

TEST(AlphaFrom, RoundsAndClamps) {
  EXPECT_EQ(alpha_from(0), 0);
  EXPECT_EQ(alpha_from(0.5f), 128);
  EXPECT_EQ(alpha_from(0.82f), 209);
  EXPECT_EQ(alpha_from(1), 255);
  EXPECT_EQ(alpha_from(1.5f), 255);
  EXPECT_EQ(alpha_from(-0.2f), 0);
  EXPECT_EQ(alpha_from(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace vestrana
