#include "ui/frame_diff.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vestrana {
namespace {

// The window compares two whole frames on every tick, so the comparisons
// below go four pixels at a time. (The C runtime's memcmp that the Windows
// program links compares byte by byte.)

uint32_t pixel(const uint8_t* row, int32_t x) {
  uint32_t v;
  std::memcpy(&v, row + 4 * static_cast<size_t>(x), 4);
  return v;
}

#if defined(__SSE2__)
// One bit per byte of pixels [x, x + 4): set where the two rows agree.
unsigned same_bytes(const uint8_t* a, const uint8_t* b, int32_t x) {
  const size_t at = 4 * static_cast<size_t>(x);
  const __m128i pa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + at));
  const __m128i pb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + at));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(pa, pb)));
}
#endif

// Whether two rows of `width` pixels differ anywhere.
bool rows_differ(const uint8_t* a, const uint8_t* b, int32_t width) {
  int32_t x = 0;
#if defined(__SSE2__)
  for (; x + 16 <= width; x += 16) {
    if ((same_bytes(a, b, x) & same_bytes(a, b, x + 4) & same_bytes(a, b, x + 8) & same_bytes(a, b, x + 12)) !=
        0xFFFF) {
      return true;
    }
  }
#endif
  for (; x < width; ++x) {
    if (pixel(a, x) != pixel(b, x)) return true;
  }
  return false;
}

// The first pixel in [x, limit) where the rows differ; limit when none does.
int32_t first_difference(const uint8_t* a, const uint8_t* b, int32_t x, int32_t limit) {
#if defined(__SSE2__)
  for (; x + 4 <= limit; x += 4) {
    const unsigned differ = ~same_bytes(a, b, x) & 0xFFFFu;
    if (differ != 0) return x + std::countr_zero(differ) / 4;
  }
#endif
  while (x < limit && pixel(a, x) == pixel(b, x)) ++x;
  return x;
}

// One past the last pixel in [limit, end) where the rows differ; limit when
// none does.
int32_t last_difference_end(const uint8_t* a, const uint8_t* b, int32_t limit, int32_t end) {
#if defined(__SSE2__)
  for (; end - 4 >= limit; end -= 4) {
    const unsigned differ = ~same_bytes(a, b, end - 4) & 0xFFFFu;
    if (differ != 0) return end - 4 + (31 - std::countl_zero(differ)) / 4 + 1;
  }
#endif
  while (end > limit && pixel(a, end - 1) == pixel(b, end - 1)) --end;
  return end;
}

}  // namespace

DeviceRect changed_rect(std::span<const uint8_t> previous, std::span<const uint8_t> current, int32_t width,
                        int32_t height) {
  if (width <= 0 || height <= 0) return DeviceRect{};
  const size_t stride = static_cast<size_t>(width) * 4;
  const DeviceRect whole{0, 0, width, height};
  if (current.size() < stride * static_cast<size_t>(height)) return DeviceRect{};
  if (previous.size() != current.size()) return whole;

  auto row = [&](std::span<const uint8_t> frame, int32_t y) { return frame.data() + stride * static_cast<size_t>(y); };
  auto row_differs = [&](int32_t y) { return rows_differ(row(previous, y), row(current, y), width); };
  int32_t top = 0;
  while (top < height && !row_differs(top)) ++top;
  if (top == height) return DeviceRect{};
  int32_t bottom = height;
  while (!row_differs(bottom - 1)) --bottom;

  // Columns: the first and last differing pixel over the changed rows; each
  // row is searched only outside the columns already known to change.
  int32_t left = width, right = 0;
  for (int32_t y = top; y < bottom; ++y) {
    const uint8_t* a = row(previous, y);
    const uint8_t* b = row(current, y);
    left = first_difference(a, b, 0, left);
    right = last_difference_end(a, b, right, width);
  }
  return DeviceRect{left, top, right, bottom};
}

}  // namespace vestrana
