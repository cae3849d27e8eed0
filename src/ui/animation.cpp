#include "ui/animation.h"

#include <algorithm>
#include <cmath>

#include "paint/pixmap.h"

namespace vestrana {

float ease_out_cubic(float p) {
  const float q = 1 - clamp_unit(p);
  return 1 - q * q * q;
}

float ease_out_back(float p) {
  const float q = clamp_unit(p) - 1;
  return 1 + 2.70158f * q * q * q + 1.70158f * q * q;
}

std::uint8_t alpha_from(float opacity) {
  return static_cast<std::uint8_t>(std::clamp(std::round(clamp_unit(opacity) * 255.0f), 0.0f, 255.0f));
}

}  // namespace vestrana
