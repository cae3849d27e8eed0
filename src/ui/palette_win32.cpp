#include "ui/palette_win32.h"

#include "system/windows_headers.h"

namespace vestrana {

std::optional<SystemColours> query_high_contrast() {
  // A test build defines VESTRANA_ASSUME_HIGH_CONTRAST and takes the mode as
  // on, for systems that can set the colours but not switch high contrast on.
#ifndef VESTRANA_ASSUME_HIGH_CONTRAST
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) ||
      (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0) {
    return std::nullopt;
  }
#endif
  auto colour = [](int index) { return colour_from_colorref(static_cast<std::uint32_t>(GetSysColor(index))); };
  return SystemColours{
      .window = colour(COLOR_WINDOW),
      .window_text = colour(COLOR_WINDOWTEXT),
      .highlight = colour(COLOR_HIGHLIGHT),
      .highlight_text = colour(COLOR_HIGHLIGHTTEXT),
      .button_face = colour(COLOR_BTNFACE),
      .gray_text = colour(COLOR_GRAYTEXT),
  };
}

}  // namespace vestrana
