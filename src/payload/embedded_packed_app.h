#pragma once
// The packed app that the build puts into the program image.

#include <cstdint>
#include <span>

namespace vestrana {

std::span<const uint8_t> embedded_packed_app();

}  // namespace vestrana
