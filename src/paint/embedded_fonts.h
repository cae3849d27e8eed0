#pragma once
// The three Inter faces built into the program: 0 Medium, 1 Bold, 2 ExtraBold.
// They are stored compressed and unpacked together on the first call.

#include <cstdint>
#include <span>

namespace vestrana {

inline constexpr int kFontCount = 3;

std::span<const uint8_t> embedded_font(int index);

}  // namespace vestrana
