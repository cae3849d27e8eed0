#include "paint/embedded_fonts.h"

#include <lzma.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Defined by the generated assembly files (.incbin of the subset fonts, each
// compressed as one xz stream).
extern "C" const uint8_t vestrana_font_0[], vestrana_font_0_end[];
extern "C" const uint8_t vestrana_font_1[], vestrana_font_1_end[];
extern "C" const uint8_t vestrana_font_2[], vestrana_font_2_end[];

namespace vestrana {
namespace {

std::span<const uint8_t> compressed_font(int index) {
  switch (index) {
    case 0: return {vestrana_font_0, static_cast<size_t>(vestrana_font_0_end - vestrana_font_0)};
    case 1: return {vestrana_font_1, static_cast<size_t>(vestrana_font_1_end - vestrana_font_1)};
    default: return {vestrana_font_2, static_cast<size_t>(vestrana_font_2_end - vestrana_font_2)};
  }
}

// The fonts are part of the program: one that does not decode is a broken
// build, not a run-time condition.
std::vector<uint8_t> unpack(std::span<const uint8_t> packed) {
  lzma_stream stream = LZMA_STREAM_INIT;
  std::vector<uint8_t> out(std::max<size_t>(packed.size() * 2, size_t{1} << 16));
  bool ok = lzma_stream_decoder(&stream, UINT64_MAX, 0) == LZMA_OK;
  stream.next_in = packed.data();
  stream.avail_in = packed.size();
  for (lzma_ret ret = LZMA_OK; ok && ret != LZMA_STREAM_END;) {
    if (stream.total_out == out.size()) out.resize(out.size() * 2);
    stream.next_out = out.data() + stream.total_out;
    stream.avail_out = out.size() - stream.total_out;
    ret = lzma_code(&stream, LZMA_FINISH);
    ok = ret == LZMA_OK || ret == LZMA_STREAM_END;
  }
  out.resize(stream.total_out);
  lzma_end(&stream);
  if (!ok) {
    std::fputs("fatal: the embedded fonts decode\n", stderr);
    std::abort();
  }
  return out;
}

}  // namespace

std::span<const uint8_t> embedded_font(int index) {
  // Unpacked once, on first use, and kept for the program's life.
  static const std::array<std::vector<uint8_t>, kFontCount> fonts = [] {
    std::array<std::vector<uint8_t>, kFontCount> unpacked;
    for (int i = 0; i < kFontCount; ++i) unpacked[i] = unpack(compressed_font(i));
    return unpacked;
  }();
  return fonts[static_cast<size_t>(index >= 0 && index < kFontCount ? index : kFontCount - 1)];
}

}  // namespace vestrana
