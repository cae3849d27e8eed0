// Screens: one frame painted, the hit regions laid out and a point tested on
// arbitrary window states: any screen and mode, any number of options and
// toggle positions, hover and press on any element, clocks and progress that
// are not-a-number or infinite, and scales inside and far outside what the
// window host derives from the DPI. The frame goes into a small pixmap, so
// most of the picture is clipped away, which is the case to get right.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_values.h"
#include "paint/pixmap.h"
#include "ui/layout.h"
#include "ui/paint_screen.h"
#include "ui/strings.h"
#include "ui/ui_state.h"
#include "ui/window_geometry.h"

using namespace vestrana;
using vestrana::fuzz::any_float;

namespace {

UiState& state() {
  static std::optional<UiState> s;
  if (!s) s.emplace(load_fonts());
  if (s->fonts.cached_glyphs() > 512) s->fonts = load_fonts();
  return *s;
}

ElementRef any_element(FuzzedDataProvider& in) {
  const auto kind = static_cast<HitKind>(in.ConsumeIntegralInRange<uint8_t>(0, 5));
  const uint32_t index = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 3) : in.ConsumeIntegral<uint32_t>();
  return ElementRef{kind, index};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static constexpr const char* kLanguages[] = {"en", "de", "fr", "es", "it", "tr"};
  FuzzedDataProvider in(data, size);
  UiState& s = state();

  const char* language = in.PickValueInArray(kLanguages);
  s.strings = &table_for(LanguageCode{{language[0], language[1]}});
  s.mode.kind = static_cast<Mode::Kind>(in.ConsumeIntegralInRange<uint8_t>(0, 2));
  s.mode.installed_version = in.ConsumeRandomLengthString(40);
  s.screen.kind = static_cast<Screen::Kind>(in.ConsumeIntegralInRange<uint8_t>(0, 3));
  s.screen.message = in.ConsumeRandomLengthString(400);
  s.version = in.ConsumeRandomLengthString(20);
  const size_t option_count = in.ConsumeIntegralInRange<size_t>(0, 5);
  s.options.assign(option_count, false);
  s.option_anim.assign(option_count, 0.0f);
  for (size_t i = 0; i < option_count; ++i) {
    s.options[i] = in.ConsumeBool();
    s.option_anim[i] = any_float(in, 0, 1);
  }
  s.hover = any_element(in);
  s.pressed = any_element(in);
  s.progress_target = any_float(in, 0, 1);
  s.progress_shown = any_float(in, 0, 1);
  s.clock = any_float(in, 0, 30);
  s.screen_since = any_float(in, 0, 30);
  s.dark = in.ConsumeBool();
  s.active = in.ConsumeBool();
  s.step = static_cast<Step>(in.ConsumeIntegralInRange<uint8_t>(0, 5));
  // Mostly what the host derives from a DPI (so glyph images get reused),
  // sometimes anything at all.
  const float scale = in.ConsumeBool() ? dpi_scale(in.ConsumeIntegralInRange<uint32_t>(0, 480)) : any_float(in, 0, 6);
  const int width = in.ConsumeIntegralInRange<int>(1, 160);
  const int height = in.ConsumeIntegralInRange<int>(1, 105);
  const float px = any_float(in, -10, 650);
  const float py = any_float(in, -10, 430);

  Pixmap frame(width, height);
  paint_screen(s, frame, s.fonts, scale);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const auto p = frame.pixel(x, y);
      if (p[0] > p[3] || p[1] > p[3] || p[2] > p[3]) std::abort();  // premultiplied
    }
  }

  // The point lands on the first region that holds it, and every region is
  // a real rectangle on the canvas.
  const std::vector<HitRegion> regions = layout_regions(s, s.fonts);
  ElementRef first = ElementRef::nothing();
  for (const HitRegion& r : regions) {
    if (!(r.w > 0 && r.h > 0 && r.x >= 0 && r.y >= 0 && r.x + r.w <= kCanvasWidth && r.y + r.h <= kCanvasHeight)) {
      std::abort();
    }
    if (first.is_nothing() && r.rect().contains(px, py)) first = r.element();
  }
  if (!(hit_test(s, s.fonts, px, py) == first)) std::abort();
  return 0;
}
