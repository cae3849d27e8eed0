#pragma once
// What the paint tests share: painting a state into a frame at a scale, the
// pixel under a logical point, the rasterizer's source-over blend, and
// probes of one pixel under a pointer state.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "paint/pixmap.h"
#include "ui/paint_screen.h"
#include "ui/strings.h"
#include "ui/ui_state.h"
#include "ui/ui_test_names.h"

namespace vestrana::paint_probe {

using namespace ui_test_names;

using Px = std::array<std::uint8_t, 4>;

inline Px opaque(Color c) { return {c.r, c.g, c.b, 255}; }

inline const Color kWhite = Color::rgb(0xFFFFFF);

// `over` blended source-over onto an opaque `under`, as the rasterizer does.
inline Px blend(Color over, Color under) {
  auto div255 = [](std::uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; };
  auto ch = [&](std::uint8_t o, std::uint8_t u) {
    return static_cast<std::uint8_t>(div255(std::uint32_t{o} * over.a) + div255(std::uint32_t{u} * (255u - over.a)));
  };
  return {ch(over.r, under.r), ch(over.g, under.g), ch(over.b, under.b), 255};
}

inline ::testing::AssertionResult near(const Px& got, const Px& want, int tolerance) {
  for (int i = 0; i < 4; ++i) {
    if (std::abs(int{got[i]} - int{want[i]}) > tolerance) {
      return ::testing::AssertionFailure()
             << "got (" << int{got[0]} << "," << int{got[1]} << "," << int{got[2]} << "," << int{got[3]} << ") want ("
             << int{want[0]} << "," << int{want[1]} << "," << int{want[2]} << "," << int{want[3]} << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

inline UiState make_state(Screen screen, Mode mode, bool dark, const char* lang = "en") {
  UiState state(load_fonts());
  state.screen = std::move(screen);
  state.mode = std::move(mode);
  state.strings = &table_for(LanguageCode{{lang[0], lang[1]}});
  state.version = "1.2.1";
  state.dark = dark;
  const size_t n = state.mode.kind == Mode::Remove ? 1 : 2;
  state.options.assign(n, false);
  state.option_anim.assign(n, 0.0f);
  // Long after the window opened and the screen changed: every entrance
  // animation has settled.
  state.clock = 20;
  state.screen_since = 10;
  return state;
}

struct Frame {
  Pixmap pixmap;
  float scale;
  // The pixel under the logical point (x, y).
  Px at(float x, float y) const {
    return pixmap.pixel(static_cast<int>(std::floor(x * scale)), static_cast<int>(std::floor(y * scale)));
  }
};

inline Frame paint(UiState& state, float scale) {
  Frame f{Pixmap(static_cast<int>(std::lround(640 * scale)), static_cast<int>(std::lround(420 * scale))), scale};
  paint_screen(state, f.pixmap, state.fonts, scale);
  return f;
}

// How many pixels of the box [left, right) x [top, bottom) of a frame at
// scale 1 differ from `ground`.
inline int ink(const Frame& f, const Px& ground, int left, int top, int right, int bottom) {
  int count = 0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) count += f.pixmap.pixel(x, y) != ground;
  }
  return count;
}

inline bool same_pixels(const Frame& a, const Frame& b) {
  return a.pixmap.byte_size() == b.pixmap.byte_size() &&
         std::equal(a.pixmap.data(), a.pixmap.data() + a.pixmap.byte_size(), b.pixmap.data());
}

// One pixel of a screen painted with one element under the pointer and one
// pressed.
struct Probe {
  const char* what;
  Screen screen;
  Mode mode;
  ElementRef hover;
  ElementRef pressed;
  float x, y;
  Px want;
  int tolerance = 0;  // per channel; 0 asks for the exact colour
};

// Paints the probe's screen, first readied by `ready`, and checks its pixel.
inline void check(const Probe& probe, bool dark, float scale, void (*ready)(UiState&) = nullptr) {
  UiState s = make_state(probe.screen, probe.mode, dark);
  if (ready != nullptr) ready(s);
  s.hover = probe.hover;
  s.pressed = probe.pressed;
  EXPECT_TRUE(near(paint(s, scale).at(probe.x, probe.y), probe.want, probe.tolerance)) << probe.what;
}

}  // namespace vestrana::paint_probe
