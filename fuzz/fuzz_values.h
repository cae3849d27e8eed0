#pragma once
// Values for the painting targets: mostly in the range the window really
// uses, sometimes anywhere a float can be, including the values no
// arithmetic should be trusted with.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <limits>

namespace vestrana::fuzz {

inline float any_float(FuzzedDataProvider& in, float low, float high) {
  static constexpr float kSpecial[] = {
      std::numeric_limits<float>::quiet_NaN(),
      std::numeric_limits<float>::infinity(),
      -std::numeric_limits<float>::infinity(),
      0.0f,
      -0.0f,
      std::numeric_limits<float>::denorm_min(),
      std::numeric_limits<float>::max(),
      -std::numeric_limits<float>::max(),
      2147483648.0f,
      4294967296.0f,
  };
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.PickValueInArray(kSpecial);
    case 1: return in.ConsumeFloatingPoint<float>();
    default: return in.ConsumeFloatingPointInRange<float>(low, high);
  }
}

}  // namespace vestrana::fuzz
