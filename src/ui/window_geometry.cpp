#include "ui/window_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "paint/pixmap.h"

namespace vestrana {

float dpi_scale(uint32_t dpi) {
  return static_cast<float>(std::max(dpi, kReferenceDpi)) / static_cast<float>(kReferenceDpi);
}

int32_t device_length(float logical, float scale) {
  double value = std::round(static_cast<double>(logical) * static_cast<double>(scale));
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

WindowPlacement centred_placement(const DeviceRect& work_area, float scale) {
  WindowPlacement p;
  p.width = device_length(kCanvasWidth, scale);
  p.height = device_length(kCanvasHeight, scale);
  // 64-bit intermediates: a huge scale must not overflow before the division.
  int64_t x = work_area.left + (int64_t{work_area.right} - p.width - work_area.left) / 2;
  int64_t y = work_area.top + (int64_t{work_area.bottom} - p.height - work_area.top) / 2;
  p.x = static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX));
  p.y = static_cast<int32_t>(std::clamp<int64_t>(y, INT32_MIN, INT32_MAX));
  return p;
}

FrameSize frame_size(float scale) {
  auto side = [&](float logical) {
    int32_t n = device_length(logical, scale);
    return static_cast<uint32_t>(std::max(n, 1));
  };
  return FrameSize{side(kCanvasWidth), side(kCanvasHeight)};
}

WindowPlacement placement_for_dpi_change(const DeviceRect& suggested, float scale) {
  const FrameSize size = frame_size(scale);
  return WindowPlacement{suggested.left, suggested.top, static_cast<int32_t>(size.width),
                         static_cast<int32_t>(size.height)};
}

DeviceRect clip_to_frame(const DeviceRect& area, int32_t width, int32_t height) {
  const DeviceRect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
                           std::min(area.bottom, height)};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return DeviceRect{};
  return clipped;
}

int32_t strip_rows(int32_t row_pixels, size_t strip_bytes) {
  const size_t row_bytes = static_cast<size_t>(std::max(row_pixels, 1)) * 4;
  return static_cast<int32_t>(std::clamp<size_t>(strip_bytes / row_bytes, 1, INT32_MAX));
}

DeviceRect to_device_bytes(const Pixmap& frame, const DeviceRect& rect, std::vector<uint8_t>& out) {
  const int32_t left = std::max(rect.left, 0), right = std::min(rect.right, frame.width());
  const int32_t top = std::max(rect.top, 0), bottom = std::min(rect.bottom, frame.height());
  if (left >= right || top >= bottom) {
    out.clear();
    return DeviceRect{};
  }
  const size_t n = static_cast<size_t>(right - left);
  out.resize(n * static_cast<size_t>(bottom - top) * 4);
  // Whole pixels as little-endian words (red in the low byte, as in
  // memory): red and blue swap places, four pixels at a time where the
  // processor can.
  for (int32_t y = top; y < bottom; ++y) {
    const size_t start = (static_cast<size_t>(y) * static_cast<size_t>(frame.width()) + static_cast<size_t>(left)) * 4;
    const uint8_t* __restrict in = frame.data() + start;
    uint8_t* __restrict to = out.data() + static_cast<size_t>(y - top) * n * 4;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i green_alpha = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
    const __m128i low_byte = _mm_set1_epi32(0xFF);
    for (; i + 4 <= n; i += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4 * i));
      const __m128i swapped = _mm_or_si128(
          _mm_and_si128(v, green_alpha),
          _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low_byte), _mm_slli_epi32(_mm_and_si128(v, low_byte), 16)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 4 * i), swapped);
    }
#endif
    for (; i < n; ++i) {
      uint32_t v;
      std::memcpy(&v, in + 4 * i, 4);
      v = (v & 0xFF00FF00u) | ((v >> 16) & 0xFFu) | ((v & 0xFFu) << 16);
      std::memcpy(to + 4 * i, &v, 4);
    }
  }
  return DeviceRect{left, top, right, bottom};
}

}  // namespace vestrana
