#pragma once
// What a new frame changes on the window: the window keeps showing the
// previous frame, so only the pixels that differ need to be copied again.

#include <cstdint>
#include <span>

#include "ui/window_geometry.h"

namespace vestrana {

// The smallest rectangle of device pixels (right and bottom exclusive) that
// holds every pixel whose four bytes differ between two frames of width x
// height pixels, rows top to bottom without padding. A previous frame of
// another byte size (none shown yet, or another DPI) gives the whole frame;
// equal frames give an empty rectangle (left == right).
DeviceRect changed_rect(std::span<const uint8_t> previous, std::span<const uint8_t> current, int32_t width,
                        int32_t height);

}  // namespace vestrana
