#include "system/utf16.h"

namespace vestrana {

std::string utf16_to_utf8(std::u16string_view text) {
  std::string out;
  utf16_detail::utf16_units_to_utf8(text, out);
  return out;
}

std::optional<std::string> utf16_to_utf8_strict(std::u16string_view text) {
  std::string out;
  if (!utf16_detail::utf16_units_to_utf8(text, out)) return std::nullopt;
  return out;
}

std::u16string utf8_to_utf16(std::string_view text) {
  std::u16string out;
  utf16_detail::utf8_to_utf16_units(text, out);
  return out;
}

}  // namespace vestrana
