#pragma once
// The window's arithmetic, kept apart from the Win32 calls: the DPI scale,
// device sizes, centring in the work area, and the conversion of a painted
// frame into the bytes a device-independent bitmap expects.

#include <cstdint>
#include <vector>

#include "ui/layout.h"

namespace vestrana {

class Pixmap;

inline constexpr uint32_t kReferenceDpi = 96;

struct DeviceRect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// The fallback work area when the monitor cannot be asked.
inline constexpr DeviceRect kFallbackWorkArea{0, 0, 1280, 800};

// max(dpi, 96) / 96: a DPI below the reference counts as the reference.
float dpi_scale(uint32_t dpi);

// A logical length in device pixels: rounded to the nearest integer, halves
// away from zero, saturated to the 32-bit range (NaN gives 0).
int32_t device_length(float logical, float scale);

struct WindowPlacement {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

// The window's device size at `scale`, centred in `work_area` (divisions
// truncate toward zero, as integer arithmetic does).
WindowPlacement centred_placement(const DeviceRect& work_area, float scale);

// The size of the pixmap one frame is painted into: the device size, at
// least 1 pixel each way.
struct FrameSize {
  uint32_t width = 1, height = 1;
};
FrameSize frame_size(float scale);

// The placement a DPI change suggests: its rectangle as position and size.
WindowPlacement placement_from_rect(const DeviceRect& suggested);

// The frame's pixels inside `rect`, clipped to the frame, written into `out`
// as blue, green, red, alpha, one row of the clipped rectangle after the
// other: the layout of a top-down 32-bit DIB of just that rectangle. `out`
// is resized to fit; returns the clipped rectangle, empty (left == right)
// when nothing of `rect` lies in the frame.
DeviceRect to_device_bytes(const Pixmap& frame, const DeviceRect& rect, std::vector<uint8_t>& out);

}  // namespace vestrana
