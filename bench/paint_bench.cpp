// Shape painting cost of one setup frame: the background, three tilted
// cards with their seven-layer shadows, avatar dots, text bars and icons,
// the logo tile with its stroked glyph, the footer and a progress bar. Text
// is left out (it is cached glyph blending, measured elsewhere).

#include <benchmark/benchmark.h>

#include <cmath>

#include "paint/pixmap.h"

namespace vestrana {
namespace {

constexpr Color kBackground = Color::rgb(0xF1F2F7);
constexpr Color kSurface = Color::rgb(0xFFFFFF);
constexpr Color kShadow = Color::rgb(0x17182E);
constexpr Color kTextMain = Color::rgb(0x15162B);
constexpr Color kTextMuted = Color::rgb(0x5A5D75);
constexpr Color kAccent = Color::rgb(0x5847F0);
constexpr Color kAccentSoft = Color::rgb(0xEEECFF);
constexpr Color kSuccess = Color::rgb(0x14A472);
constexpr Color kHighlight = Color::rgb(0xEE4380);
constexpr Color kAvatars[3] = {Color::rgb(0xF5D6CB), Color::rgb(0xD7E3FF), Color::rgb(0xCFEEE0)};
constexpr Color kWhite = Color::rgb(0xFFFFFF);

void draw_card(const Canvas& canvas, int i, float t) {
  static constexpr float kDx[3] = {-22, 20, -4};
  static constexpr float kDy[3] = {-58, -8, 46};
  static constexpr float kTilt[3] = {-9, 6, -2};
  const float cx = 474 + kDx[i];
  const float cy = 158 + kDy[i] + 3 * std::sin(1.4f * i + 1.1f * t);
  const Transform tilt = Transform::rotate(kTilt[i], cx, cy);
  const float l0 = cx - 106;
  const float t0 = cy - 43;
  for (int j = 0; j < 7; ++j) {
    const float g = 1.5f + 2.2f * j;
    const auto a = static_cast<std::uint8_t>(std::lround(0.07857143f * (1 - 0.6f * j / 7) * 41));
    canvas.fill_rounded_rect(l0 - g, t0 - g + 6, 212 + 2 * g, 86 + 2 * g, 18 + g, kShadow.with_alpha(a), tilt);
  }
  canvas.fill_rounded_rect(l0, t0, 212, 86, 18, kSurface, tilt);
  canvas.fill_circle(l0 + 30, t0 + 30, 14, kAvatars[i], tilt);
  canvas.fill_rounded_rect(l0 + 54, t0 + 20, 74, 8, 4, kTextMain.with_alpha(209), tilt);
  canvas.fill_rounded_rect(l0 + 54, t0 + 34, 46, 6, 3, kTextMuted.with_alpha(115), tilt);
  canvas.fill_rounded_rect(l0 + 18, t0 + 55, 150, 6, 3, kTextMuted.with_alpha(66), tilt);
  canvas.fill_rounded_rect(l0 + 18, t0 + 67, 104, 6, 3, kTextMuted.with_alpha(66), tilt);

  const float ix = l0 + 178;
  const float iy = t0 + 26;
  Path icon;
  if (i == 0) {
    icon.move_to(ix, iy + 8);
    icon.cubic_to(ix - 11, iy + 1, ix - 9, iy - 9, ix - 4.5f, iy - 8);
    icon.cubic_to(ix - 2, iy - 7.5f, ix - 0.6f, iy - 5.5f, ix, iy - 4.2f);
    icon.cubic_to(ix + 0.6f, iy - 5.5f, ix + 2, iy - 7.5f, ix + 4.5f, iy - 8);
    icon.cubic_to(ix + 9, iy - 9, ix + 11, iy + 1, ix, iy + 8);
    icon.close();
    canvas.fill_path(icon, kHighlight, tilt);
  } else if (i == 1) {
    canvas.fill_rounded_rect(ix - 18, iy - 10, 36, 20, 10, kAccentSoft, tilt);
    icon.move_to(ix - 3, iy - 5);
    icon.line_to(ix - 5, iy + 5);
    icon.move_to(ix + 4, iy - 5);
    icon.line_to(ix + 2, iy + 5);
    icon.move_to(ix - 7, iy - 1.8f);
    icon.line_to(ix + 6, iy - 1.8f);
    icon.move_to(ix - 8, iy + 1.8f);
    icon.line_to(ix + 5, iy + 1.8f);
    canvas.stroke_path(icon, 1.6f, kAccent, tilt);
  } else {
    icon.move_to(ix - 8, iy + 7);
    icon.line_to(ix - 6.5f, iy + 3);
    icon.cubic_to(ix - 10.5f, iy - 3, ix - 6, iy - 8, ix, iy - 8);
    icon.cubic_to(ix + 6, iy - 8, ix + 10, iy - 4, ix + 9, iy);
    icon.cubic_to(ix + 8, iy + 5, ix + 2, iy + 8.5f, ix - 4, iy + 5.5f);
    icon.close();
    canvas.stroke_path(icon, 1.8f, kSuccess, tilt);
  }
}

void draw_frame(const Canvas& canvas, float t) {
  canvas.pixmap.fill(kBackground);
  for (int i = 0; i < 3; ++i) draw_card(canvas, i, t);

  const float y0 = 64;
  canvas.fill_rounded_rect(48, y0, 56, 56, 14, kAccent);
  canvas.fill_rect(70.1667f, y0 + 9.3333f, 8.1667f, 23.3333f, kWhite);
  canvas.fill_rect(60.8333f, y0 + 21, 30.3333f, 8.1667f, kWhite);
  Path hook;
  hook.move_to(22.5f, 27.5f);
  hook.line_to(22.5f, 28);
  hook.cubic_to(22.5f, 32.7f, 26.3f, 36.5f, 31, 36.5f);
  hook.line_to(34, 36.5f);
  canvas.stroke_path(hook, 7, kWhite, Transform::scale(56.0f / 48, 56.0f / 48).then(Transform::translate(48, y0)));

  canvas.fill_rect(0, 292, 640, 128, kSurface);
  canvas.fill_rect(0, 292, 640, 1, Color::rgb(0xE4E5ED));
  canvas.fill_rounded_rect(48, 356, 544, 8, 4, Color::rgb(0xD9DBE8).with_alpha(0xB3));
  canvas.fill_rounded_rect(48, 356, 300, 8, 4, kAccent);
  canvas.fill_rounded_rect(200, 356, 60, 8, 4, kWhite.with_alpha(0x3C));
}

void BM_PaintFrame(benchmark::State& state) {
  const auto scale = static_cast<float>(state.range(0));
  Pixmap pixmap(static_cast<int>(640 * scale), static_cast<int>(420 * scale));
  const Canvas canvas{pixmap, scale};
  float t = 0.5f;
  for (auto _ : state) {
    draw_frame(canvas, t);
    t += 0.016f;  // the cards move between frames, as they do on screen
    benchmark::DoNotOptimize(pixmap.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel("scale " + std::to_string(state.range(0)));
}
BENCHMARK(BM_PaintFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vestrana
