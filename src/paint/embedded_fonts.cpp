#include "paint/embedded_fonts.h"

// Defined by the generated assembly files (.incbin of the subset fonts).
extern "C" const uint8_t vestrana_font_0[], vestrana_font_0_end[];
extern "C" const uint8_t vestrana_font_1[], vestrana_font_1_end[];
extern "C" const uint8_t vestrana_font_2[], vestrana_font_2_end[];

namespace vestrana {

std::span<const uint8_t> embedded_font(int index) {
  switch (index) {
    case 0: return {vestrana_font_0, static_cast<size_t>(vestrana_font_0_end - vestrana_font_0)};
    case 1: return {vestrana_font_1, static_cast<size_t>(vestrana_font_1_end - vestrana_font_1)};
    default: return {vestrana_font_2, static_cast<size_t>(vestrana_font_2_end - vestrana_font_2)};
  }
}

}  // namespace vestrana
