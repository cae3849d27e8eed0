#include "ui/frame_diff.h"

#include <gtest/gtest.h>

#include <vector>

namespace vestrana {
namespace {

struct Change {
  int32_t x, y, byte;  // the byte (0..3) of the pixel that changes
};

struct Case {
  const char* name;
  std::vector<Change> changes;
  DeviceRect expected;
};

TEST(ChangedRect, BoundsEveryDifferingPixel) {
  // 23 pixels a row: the row comparison's 64-byte blocks, its 8-byte steps
  // and its single bytes all meet a change.
  constexpr int32_t w = 23, h = 5;
  const Case cases[] = {
      {"equal frames", {}, {0, 0, 0, 0}},
      {"first pixel", {{0, 0, 0}}, {0, 0, 1, 1}},
      {"last pixel, alpha only", {{22, 4, 3}}, {22, 4, 23, 5}},
      {"one inner pixel", {{3, 2, 1}}, {3, 2, 4, 3}},
      {"a pixel past the first 64 bytes", {{18, 1, 2}}, {18, 1, 19, 2}},
      {"two corners span the frame", {{22, 0, 2}, {0, 4, 0}}, {0, 0, 23, 5}},
      {"left and right edge come from different rows", {{20, 1, 0}, {2, 3, 0}}, {2, 1, 21, 4}},
  };
  std::vector<uint8_t> previous(w * h * 4);
  for (size_t i = 0; i < previous.size(); ++i) previous[i] = static_cast<uint8_t>(i * 7);
  for (const Case& c : cases) {
    std::vector<uint8_t> current = previous;
    for (const Change& change : c.changes) current[static_cast<size_t>((change.y * w + change.x) * 4 + change.byte)] ^= 0x10;
    const DeviceRect r = changed_rect(previous, current, w, h);
    EXPECT_EQ(c.expected.left, r.left) << c.name;
    EXPECT_EQ(c.expected.top, r.top) << c.name;
    EXPECT_EQ(c.expected.right, r.right) << c.name;
    EXPECT_EQ(c.expected.bottom, r.bottom) << c.name;
  }
}

TEST(ChangedRect, NothingShownYetMeansTheWholeFrame) {
  const std::vector<uint8_t> current(4 * 3 * 4, 1), smaller(2 * 3 * 4, 1);
  for (const std::vector<uint8_t>& previous : {std::vector<uint8_t>{}, smaller}) {
    const DeviceRect r = changed_rect(previous, current, 4, 3);
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(4, r.right);
    EXPECT_EQ(3, r.bottom);
  }
}

}  // namespace
}  // namespace vestrana
