#include "ui/frame_diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vestrana {
namespace {

// The comparison goes 16 pixels at a time through a row and 4 at a time
// when it looks for the first and last differing column, then pixel by pixel
// through what is left. Widths 1 to 40 put a change at every offset inside a
// block and into every length of tail.
constexpr int32_t kMaxWidth = 40;
constexpr int32_t kHeight = 4;

std::vector<uint8_t> frame(int32_t width) {
  std::vector<uint8_t> bytes(static_cast<size_t>(width) * kHeight * 4);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 3);
  return bytes;
}

void change(std::vector<uint8_t>& bytes, int32_t width, int32_t x, int32_t y, int32_t byte) {
  bytes[static_cast<size_t>((y * width + x) * 4 + byte)] ^= 0x10;
}

std::string text(const DeviceRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(ChangedRect, FindsOneChangedByteAtEveryOffset) {
  for (int32_t width = 1; width <= kMaxWidth; ++width) {
    const std::vector<uint8_t> previous = frame(width);
    EXPECT_EQ(text(changed_rect(previous, previous, width, kHeight)), text(DeviceRect{})) << width;
    for (int32_t x = 0; x < width; ++x) {
      for (int32_t byte = 0; byte < 4; ++byte) {
        std::vector<uint8_t> current = previous;
        const int32_t y = (x + byte) % kHeight;
        change(current, width, x, y, byte);
        EXPECT_EQ(text(changed_rect(previous, current, width, kHeight)), text(DeviceRect{x, y, x + 1, y + 1}))
            << "width " << width << " x " << x << " byte " << byte;
      }
    }
  }
}

// The left and right edge found in one row narrow the search in the rows
// below: an edge further out in a later row must still be found.
TEST(ChangedRect, EdgesFromDifferentRowsAtEveryOffset) {
  for (int32_t width = 1; width <= kMaxWidth; ++width) {
    const std::vector<uint8_t> previous = frame(width);
    for (int32_t first = 0; first < width; ++first) {
      for (int32_t second = 0; second < width; ++second) {
        std::vector<uint8_t> current = previous;
        change(current, width, first, 1, first % 4);
        change(current, width, second, 3, 3 - second % 4);
        const DeviceRect expected{std::min(first, second), 1, std::max(first, second) + 1, 4};
        EXPECT_EQ(text(changed_rect(previous, current, width, kHeight)), text(expected))
            << "width " << width << " row 1 at " << first << ", row 3 at " << second;
      }
    }
  }
}

TEST(ChangedRect, NothingShownYetMeansTheWholeFrame) {
  const std::vector<uint8_t> current(4 * 3 * 4, 1), smaller(2 * 3 * 4, 1);
  for (const std::vector<uint8_t>& previous : {std::vector<uint8_t>{}, smaller}) {
    EXPECT_EQ(text(changed_rect(previous, current, 4, 3)), text(DeviceRect{0, 0, 4, 3}));
  }
}

}  // namespace
}  // namespace vestrana
