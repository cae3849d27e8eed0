#pragma once
// The high-contrast colours, read from Windows.

#include "ui/palette.h"

namespace vestrana {

// The system colours while the user's high-contrast mode is on, else
// nothing.
std::optional<SystemColours> query_high_contrast();

}  // namespace vestrana
