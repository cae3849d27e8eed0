#include "ui/frame_diff.h"

#include <cstring>

namespace vestrana {

DeviceRect changed_rect(std::span<const uint8_t> previous, std::span<const uint8_t> current, int32_t width,
                        int32_t height) {
  if (width <= 0 || height <= 0) return DeviceRect{};
  const size_t stride = static_cast<size_t>(width) * 4;
  const DeviceRect whole{0, 0, width, height};
  if (current.size() < stride * static_cast<size_t>(height)) return DeviceRect{};
  if (previous.size() != current.size()) return whole;

  auto row = [&](std::span<const uint8_t> frame, int32_t y) { return frame.data() + stride * static_cast<size_t>(y); };
  auto row_differs = [&](int32_t y) { return std::memcmp(row(previous, y), row(current, y), stride) != 0; };
  int32_t top = 0;
  while (top < height && !row_differs(top)) ++top;
  if (top == height) return DeviceRect{};
  int32_t bottom = height;
  while (!row_differs(bottom - 1)) --bottom;

  // Columns: the first and last differing pixel over the changed rows,
  // compared as whole words.
  auto pixel = [](const uint8_t* row_start, int32_t x) {
    uint32_t v;
    std::memcpy(&v, row_start + 4 * static_cast<size_t>(x), 4);
    return v;
  };
  int32_t left = width, right = 0;
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* a = row(previous, y);
    const uint8_t* b = row(current, y);
    int32_t x = 0;
    while (x < left && pixel(a, x) == pixel(b, x)) ++x;
    left = x;
    int32_t end = width;
    while (end > right && pixel(a, end - 1) == pixel(b, end - 1)) --end;
    right = end;
  }
  return DeviceRect{left, top, right, bottom};
}

}  // namespace vestrana
