#include "paint/pixmap.h"

#include <algorithm>
#include <cmath>

#include "paint/pixel_blend.h"

namespace vestrana {

// --- Pixmap -----------------------------------------------------------------

Pixmap::Pixmap(int width, int height) {
  if (width <= 0 || height <= 0) return;
  width_ = width;
  height_ = height;
  pixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
}

void Pixmap::fill(Color color) {
  // Every frame starts with this: stored, without reading anything back.
  store_run(pixels_.data(), pixels_.size() / 4, source_pixel(color, 255));
}

std::array<std::uint8_t, 4> Pixmap::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

// --- Transform --------------------------------------------------------------

Transform Transform::scale(float sx, float sy) { return Transform{sx, 0, 0, sy, 0, 0}; }

Transform Transform::translate(float tx, float ty) { return Transform{1, 0, 0, 1, tx, ty}; }

Transform Transform::rotate(float degrees, float cx, float cy) {
  // Exact quarter turns keep axis-aligned shapes axis-aligned, without the
  // 1e-8 residue of cos(90°) that would tilt edges by a hair.
  const double turns = static_cast<double>(degrees) / 90.0;
  double c = 0;
  double s = 0;
  if (turns == std::floor(turns) && std::fabs(turns) < 1e6) {
    static constexpr double kCos[4] = {1, 0, -1, 0};
    static constexpr double kSin[4] = {0, 1, 0, -1};
    const long quarter = ((static_cast<long>(turns) % 4) + 4) % 4;
    c = kCos[quarter];
    s = kSin[quarter];
  } else {
    const double radians = static_cast<double>(degrees) * 3.14159265358979323846 / 180.0;
    c = std::cos(radians);
    s = std::sin(radians);
  }
  // Rotate about the origin, then move the origin to (cx, cy):
  // p' = R (p - c) + c.
  const float fc = static_cast<float>(c);
  const float fs = static_cast<float>(s);
  return Transform{fc, fs, -fs, fc, static_cast<float>(cx - c * cx + s * cy), static_cast<float>(cy - s * cx - c * cy)};
}

Transform Transform::then(const Transform& n) const {
  // n ∘ this: the linear parts multiply as N·M, the translation is N·t + n.t.
  return Transform{n.sx * sx + n.kx * ky, n.ky * sx + n.sy * ky,        n.sx * kx + n.kx * sy,
                   n.ky * kx + n.sy * sy, n.sx * tx + n.kx * ty + n.tx, n.ky * tx + n.sy * ty + n.ty};
}

// --- Colour -----------------------------------------------------------------

float clamp_unit(float p) {
  if (!(p > 0)) return 0;  // also not-a-number
  return p > 1 ? 1 : p;
}

Color mix(Color a, Color b, float t) {
  t = clamp_unit(t);
  auto channel = [t](std::uint8_t from, std::uint8_t to) {
    const float v = std::round(static_cast<float>(from) + (static_cast<float>(to) - from) * t);
    return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f));
  };
  return Color{channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b), channel(a.a, b.a)};
}

}  // namespace vestrana
