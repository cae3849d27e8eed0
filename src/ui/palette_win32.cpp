#include "ui/palette.h"

#include "system/windows_headers.h"

namespace vestrana {

std::optional<SystemColours> query_high_contrast() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) ||
      (contrast.dwFlags & HCF_HIGHCONTRASTON) == 0) {
    return std::nullopt;
  }
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
