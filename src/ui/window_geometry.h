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

// The placement after a DPI change: the position the system suggests and
// the window's own device size at the new scale. The suggested size is the
// old one scaled by the system and rounded its own way, a pixel off at
// custom scales such as 110 %, which would leave a row or column of the
// window that no frame paints.
WindowPlacement placement_for_dpi_change(const DeviceRect& suggested, float scale);

// The part of a window's update region that a frame of `width` by `height`
// covers; empty (left == right) when none.
DeviceRect clip_to_frame(const DeviceRect& area, int32_t width, int32_t height);

// How many rows of `row_pixels` 32-bit pixels one copy to the window takes
// so that a strip stays within `strip_bytes`: at least one row.
int32_t strip_rows(int32_t row_pixels, size_t strip_bytes);

// The frame's pixels inside `rect`, clipped to the frame, written into `out`
// as blue, green, red, alpha, one row of the clipped rectangle after the
// other: the layout of a top-down 32-bit DIB of just that rectangle. `out`
// is resized to fit; returns the clipped rectangle, empty (left == right)
// when nothing of `rect` lies in the frame.
DeviceRect to_device_bytes(const Pixmap& frame, const DeviceRect& rect, std::vector<uint8_t>& out);

}  // namespace vestrana
