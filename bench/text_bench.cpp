// The text of one welcome-screen frame: the product name, the subtitle, two
// option labels and the button label, at the positions the window uses.
// Warm: every glyph already cached (every frame after the first). Cold: a
// fresh FontSet, so every glyph is rasterised (the first frame, or the first
// after a DPI change).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "paint/text.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

constexpr Color kMain{0x1B, 0x1A, 0x22, 0xFF};
constexpr Color kMuted{0x6B, 0x69, 0x78, 0xFF};

void draw_frame_text(const TextTarget& target, FontSet& fonts, const std::string& subtitle, const StringTable& table) {
  draw_text(target, fonts, 46, 172, "vestrana", 40, kFontExtraBold, kMain, -1);
  draw_text(target, fonts, 48, 202, subtitle, 13.5f, kFontMedium, kMuted, 0);
  draw_text(target, fonts, 94, 342.5f, table[StringId::OptionDesktopShortcut], 13.5f, kFontMedium, kMain, 0);
  draw_text(target, fonts, 94, 376.5f, table[StringId::OptionAutostart], 13.5f, kFontMedium, kMain, 0);
  std::string_view label = table[StringId::ButtonInstall];
  float x = 424 + 84 - measure_text(fonts, label, 15, kFontBold) / 2;
  draw_text(target, fonts, x, 361.5f, label, 15, kFontBold, Color{255, 255, 255, 255}, 0);
}

struct Frame {
  explicit Frame(float scale)
      : width(static_cast<uint32_t>(640 * scale)),
        height(static_cast<uint32_t>(420 * scale)),
        pixels(size_t{width} * height * 4, 0xF0) {
    target = TextTarget{pixels.data(), width, height, scale};
  }
  uint32_t width, height;
  std::vector<uint8_t> pixels;
  TextTarget target;
};

void BM_FrameTextWarm(benchmark::State& state) {
  Frame frame(static_cast<float>(state.range(0)));
  const StringTable& table = table_for(LanguageCode{});
  std::string subtitle = fill_version(table[StringId::Subtitle], "1.2.1", "");
  FontSet fonts = load_fonts();
  draw_frame_text(frame.target, fonts, subtitle, table);
  for (auto _ : state) {
    draw_frame_text(frame.target, fonts, subtitle, table);
    benchmark::DoNotOptimize(frame.pixels.data());
  }
}
BENCHMARK(BM_FrameTextWarm)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_FrameTextCold(benchmark::State& state) {
  Frame frame(static_cast<float>(state.range(0)));
  const StringTable& table = table_for(LanguageCode{});
  std::string subtitle = fill_version(table[StringId::Subtitle], "1.2.1", "");
  for (auto _ : state) {
    state.PauseTiming();
    FontSet fonts = load_fonts();
    state.ResumeTiming();
    draw_frame_text(frame.target, fonts, subtitle, table);
    benchmark::DoNotOptimize(frame.pixels.data());
    state.counters["glyphs"] = static_cast<double>(fonts.rasterizations());
    state.PauseTiming();  // the FontSet's release is not part of a frame
    { FontSet gone = std::move(fonts); }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FrameTextCold)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_LoadFonts(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(load_fonts());
}
BENCHMARK(BM_LoadFonts)->Unit(benchmark::kMicrosecond);

void BM_MeasureLabel(benchmark::State& state) {
  FontSet fonts = load_fonts();
  for (auto _ : state) {
    benchmark::DoNotOptimize(measure_text(fonts, "Start with Windows, in the notification area", 13.5f, kFontMedium));
  }
}
BENCHMARK(BM_MeasureLabel);

}  // namespace
}  // namespace vestrana
