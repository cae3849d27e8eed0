// The window's size and position for a DPI and a work area, and the frame's
// conversion into DIB bytes.
#include "ui/window_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "paint/pixmap.h"

namespace vestrana {
namespace {

class WindowSizeAtDpi : public ::testing::TestWithParam<std::tuple<uint32_t, int32_t, int32_t>> {};

TEST_P(WindowSizeAtDpi, MatchesTheCanvasScaled) {
  auto [dpi, width, height] = GetParam();
  WindowPlacement p = centred_placement(kFallbackWorkArea, dpi_scale(dpi));
  EXPECT_EQ(p.width, width);
  EXPECT_EQ(p.height, height);
  FrameSize frame = frame_size(dpi_scale(dpi));
  EXPECT_EQ(frame.width, static_cast<uint32_t>(width));
  EXPECT_EQ(frame.height, static_cast<uint32_t>(height));
}

INSTANTIATE_TEST_SUITE_P(Dpis, WindowSizeAtDpi,
                         ::testing::Values(std::make_tuple(96u, 640, 420), std::make_tuple(120u, 800, 525),
                                           std::make_tuple(144u, 960, 630), std::make_tuple(72u, 640, 420),
                                           std::make_tuple(0u, 640, 420), std::make_tuple(192u, 1280, 840)));

TEST(WindowGeometry, DeviceLengthsRoundHalvesAwayFromZeroAndSaturate) {
  EXPECT_EQ(device_length(420.0f, 1.25f), 525);
  EXPECT_EQ(device_length(0.5f, 1.0f), 1);
  EXPECT_EQ(device_length(2.5f, 1.0f), 3);
  EXPECT_EQ(device_length(-2.5f, 1.0f), -3);
  EXPECT_EQ(device_length(1e30f, 1.0f), INT32_MAX);
  EXPECT_EQ(device_length(-1e30f, 1.0f), INT32_MIN);
  EXPECT_EQ(device_length(NAN, 1.0f), 0);
}

TEST(WindowGeometry, CentresInTheWorkAreaWithTruncatingDivision) {
  WindowPlacement p = centred_placement(kFallbackWorkArea, 1.0f);
  EXPECT_EQ(p.x, 320);
  EXPECT_EQ(p.y, 190);
  // A work area beside the taskbar, and an odd remainder that truncates.
  p = centred_placement(DeviceRect{48, 0, 1921, 1040}, 1.0f);
  EXPECT_EQ(p.x, 48 + (1921 - 640 - 48) / 2);
  EXPECT_EQ(p.y, 310);
  // A work area smaller than the window: negative offsets truncate toward zero.
  p = centred_placement(DeviceRect{0, 0, 601, 400}, 1.0f);
  EXPECT_EQ(p.x, -19);
  EXPECT_EQ(p.y, -10);
}

// The suggested position, and the size of our own frame at the new DPI
// even where the system's suggested size is a pixel off (110 %: 700 x 459).
TEST(WindowGeometry, DpiChangeKeepsTheSuggestedPositionAndTakesOurSize) {
  struct Case {
    DeviceRect suggested;
    uint32_t dpi;
    WindowPlacement placement;
  };
  const Case cases[] = {
      {{2020, 50, 2020 + 960, 50 + 630}, 144, {2020, 50, 960, 630}},
      {{-700, 10, -700 + 701, 10 + 460}, 105, {-700, 10, 700, 459}},
      {{300, 200, 300 + 1281, 200 + 841}, 192, {300, 200, 1280, 840}},
      {{0, 0, 640, 420}, 96, {0, 0, 640, 420}},
  };
  for (const Case& c : cases) {
    const WindowPlacement p = placement_for_dpi_change(c.suggested, dpi_scale(c.dpi));
    EXPECT_EQ(std::tie(p.x, p.y, p.width, p.height),
              std::tie(c.placement.x, c.placement.y, c.placement.width, c.placement.height))
        << c.dpi;
  }
}

TEST(WindowGeometry, PaintedAreaIsTheUpdateRegionInsideTheFrameInStrips) {
  struct Case {
    DeviceRect area, clipped;
  };
  const Case cases[] = {
      {{-3, -1, 700, 500}, {0, 0, 640, 420}},
      {{10, 20, 30, 40}, {10, 20, 30, 40}},
      {{640, 0, 700, 10}, {0, 0, 0, 0}},
      {{5, 5, 5, 9}, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const DeviceRect r = clip_to_frame(c.area, 640, 420);
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom),
              std::tie(c.clipped.left, c.clipped.top, c.clipped.right, c.clipped.bottom));
  }
  EXPECT_EQ(strip_rows(640, 256 << 10), 102);  // 2560 bytes a row
  EXPECT_EQ(strip_rows(1024, 4096), 1);
  EXPECT_EQ(strip_rows(100000, 4096), 1);  // a row larger than a strip still goes
  EXPECT_EQ(strip_rows(0, 4096), 1024);
}

TEST(WindowGeometry, DeviceBytesSwapRedAndBlueAndKeepPremultipliedAlpha) {
  Pixmap frame(5, 1);  // four pixels converted together, then one alone
  frame.fill(Color{200, 100, 50, 255});
  std::vector<uint8_t> bytes;
  to_device_bytes(frame, DeviceRect{0, 0, 5, 1}, bytes);
  ASSERT_EQ(bytes.size(), 20u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(bytes[4 * i], 50) << i;
    EXPECT_EQ(bytes[4 * i + 1], 100) << i;
    EXPECT_EQ(bytes[4 * i + 2], 200) << i;
    EXPECT_EQ(bytes[4 * i + 3], 255) << i;
  }
}

// Only the rectangle, clipped to the frame, is converted, row after row of
// its own width.
TEST(WindowGeometry, DeviceBytesOfARectangleAreJustItsPixels) {
  struct Case {
    DeviceRect rect, clipped;
  };
  const Case cases[] = {
      {{1, 1, 3, 2}, {1, 1, 3, 2}}, {{-5, 2, 2, 9}, {0, 2, 2, 3}}, {{3, 0, 40, 1}, {3, 0, 4, 1}},
      {{2, 1, 2, 3}, {0, 0, 0, 0}}, {{0, 0, 4, 3}, {0, 0, 4, 3}},  {{5, 0, 9, 3}, {0, 0, 0, 0}},
  };
  Pixmap frame(4, 3);  // pixel (x, y) holds red x and green y
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      uint8_t* p = frame.data() + 4 * (4 * y + x);
      p[0] = static_cast<uint8_t>(x);
      p[1] = static_cast<uint8_t>(y);
      p[3] = 255;
    }
  }
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes(99, 7);
    const DeviceRect r = to_device_bytes(frame, c.rect, bytes);
    EXPECT_EQ(std::tie(r.left, r.top, r.right, r.bottom),
              std::tie(c.clipped.left, c.clipped.top, c.clipped.right, c.clipped.bottom));
    ASSERT_EQ(bytes.size(), static_cast<size_t>(4 * (r.right - r.left) * (r.bottom - r.top)));
    size_t i = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x, i += 4) {
        EXPECT_EQ(bytes[i + 2], x) << "pixel " << x << "," << y;
        EXPECT_EQ(bytes[i + 1], y) << "pixel " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace vestrana
