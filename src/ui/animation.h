#pragma once
// The window's animation: how long the entrance, the content change and
// the leaving take, and the curves they follow.

#include <cstdint>

namespace vestrana {

// The cards' and the footer's entrance when the window opens, in seconds.
constexpr float kEntranceSeconds = 0.45f;
// A screen's content fading in after a screen change.
constexpr float kContentSeconds = 0.3f;
// The window leaving after the work is done.
constexpr float kLeaveSeconds = 0.7f;

// 1 - (1 - p)^3 for p clamped to 0..1.
float ease_out_cubic(float p);
// With q = p - 1 (p clamped to 0..1): 1 + 2.70158 q^3 + 1.70158 q^2. Rises
// above 1 before it settles at 1.
float ease_out_back(float p);
// round(clamp(opacity, 0, 1) * 255); not-a-number gives 0.
std::uint8_t alpha_from(float opacity);

}  // namespace vestrana
