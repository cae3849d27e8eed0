// The per-frame and decoding costs of the Windows program as it ships (its
// compiler flags and its MinGW builds of FreeType and liblzma), run under
// Wine or Windows:
//
//   wine build/windows/vestrana-bench.exe
//
// First the one-off cost at start of unpacking the embedded fonts. Then for
// each case the best of five rounds' mean time per iteration: painting
// the welcome screen at scales 1, 1.5 and 2 with a warm glyph cache;
// finding what changed between two frames a tick apart and turning that into
// device bytes; decoding a 5 MiB xz stream of code-like bytes. A build
// change that slows any of these by more than 5 % needs a reason.

#include <lzma.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "paint/embedded_fonts.h"
#include "paint/pixmap.h"
#include "paint/text.h"
#include "ui/frame_diff.h"
#include "ui/paint_screen.h"
#include "ui/strings.h"
#include "ui/ui_state.h"
#include "ui/window_geometry.h"

namespace vestrana {
namespace {

template <typename Work>
void report(const char* name, int iterations, Work&& work) {
  double best = 1e30;
  for (int round = 0; round < 5; ++round) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) work();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count() / iterations);
  }
  std::printf("%-34s %8.3f ms\n", name, best);
}

UiState welcome() {
  UiState state(load_fonts());
  state.mode = Mode::install();
  state.strings = &table_for(LanguageCode{{'e', 'n'}});
  state.version = "1.2.1";
  state.screen = Screen::welcome();
  state.clock = 10;
  state.screen_since = 2;
  return state;
}

// Short byte patterns with a skewed frequency and random immediates: packs
// to roughly a third, as machine code does.
std::vector<uint8_t> code_like(size_t size) {
  uint64_t s = 0x9E3779B97F4A7C15u;
  auto next = [&] {
    s ^= s << 13;
    s ^= s >> 7;
    s ^= s << 17;
    return s;
  };
  std::vector<std::vector<uint8_t>> words(512);
  for (auto& w : words) {
    w.resize(2 + next() % 7);
    for (uint8_t& b : w) b = static_cast<uint8_t>(next());
  }
  std::vector<uint8_t> out;
  while (out.size() < size) {
    const uint64_t r = next();
    const auto& w = words[(r % 512) * (r % 512) / 512];
    out.insert(out.end(), w.begin(), w.end());
    if (r % 5 == 0) out.push_back(static_cast<uint8_t>(r >> 32));
  }
  out.resize(size);
  return out;
}

}  // namespace
}  // namespace vestrana

int main() {
  using namespace vestrana;
  const auto start = std::chrono::steady_clock::now();
  const size_t font_bytes = embedded_font(0).size();
  const std::chrono::duration<double, std::milli> unpacking = std::chrono::steady_clock::now() - start;
  std::printf("%-34s %8.3f ms (%zu bytes of the first face)\n", "unpack embedded fonts, once", unpacking.count(),
              font_bytes);
  UiState state = welcome();
  std::vector<uint8_t> device;
  // Painting alone, then a whole tick as the window runs it: the frame
  // painted into the buffer shown two ticks ago and compared with the last
  // one, and what changed converted. There the frames come from memory, not
  // from a cache warmed by painting the same buffer in the previous round.
  for (int percent : {100, 150, 200}) {
    const float scale = static_cast<float>(percent) / 100.0f;
    const int width = static_cast<int>(std::lround(640 * scale)), height = static_cast<int>(std::lround(420 * scale));
    Pixmap frame(width, height), shown(width, height);
    paint_screen(state, shown, state.fonts, scale);
    char name[64];
    std::snprintf(name, sizeof name, "paint welcome, scale %d%%", percent);
    report(name, 100, [&] {
      state.clock += 0.016f;
      paint_screen(state, frame, state.fonts, scale);
    });
    std::snprintf(name, sizeof name, "tick welcome, scale %d%%", percent);
    report(name, 100, [&] {
      state.clock += 0.016f;
      paint_screen(state, frame, state.fonts, scale);
      const DeviceRect changed = changed_rect({shown.data(), shown.byte_size()}, {frame.data(), frame.byte_size()},
                                              frame.width(), frame.height());
      to_device_bytes(frame, changed, device);
      std::swap(frame, shown);
    });
  }

  // Two frames a tick apart, as the window compares them, then converts what
  // changed.
  Pixmap previous(640, 420), current(640, 420);
  paint_screen(state, previous, state.fonts, 1);
  state.clock += 0.016f;
  paint_screen(state, current, state.fonts, 1);
  report("changed rect + its device bytes, 100%", 200, [&] {
    const DeviceRect changed =
        changed_rect({previous.data(), previous.byte_size()}, {current.data(), current.byte_size()}, 640, 420);
    to_device_bytes(current, changed, device);
  });

  const std::vector<uint8_t> plain = code_like(size_t{5} << 20);
  std::vector<uint8_t> packed(lzma_stream_buffer_bound(plain.size()));
  size_t packed_size = 0;
  if (lzma_easy_buffer_encode(6, LZMA_CHECK_CRC64, nullptr, plain.data(), plain.size(), packed.data(), &packed_size,
                              packed.size()) != LZMA_OK) {
    std::puts("encoding the test stream failed");
    return 1;
  }
  std::vector<uint8_t> out(plain.size());
  report("decode 5 MiB xz stream", 3, [&] {
    uint64_t limit = UINT64_MAX;
    size_t in_pos = 0, out_pos = 0;
    if (lzma_stream_buffer_decode(&limit, 0, nullptr, packed.data(), &in_pos, packed_size, out.data(), &out_pos,
                                  out.size()) != LZMA_OK) {
      std::puts("decoding failed");
    }
  });
  return 0;
}
