#include "base/text.h"

namespace vestrana {

std::string utf16_to_utf8(std::u16string_view text) { return *utf16_detail::utf16_units_to_utf8(text, false); }

std::optional<std::string> utf16_to_utf8_strict(std::u16string_view text) {
  return utf16_detail::utf16_units_to_utf8(text, true);
}

std::u16string utf8_to_utf16(std::string_view text) { return utf16_detail::utf8_to_utf16_units<char16_t>(text); }

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

std::string replace_all(std::string_view text, std::string_view marker, std::string_view value) {
  std::string out;
  out.reserve(text.size() + value.size());
  size_t from = 0;
  while (true) {
    size_t at = text.find(marker, from);
    if (at == std::string_view::npos) break;
    out.append(text, from, at - from);
    out.append(value);
    from = at + marker.size();
  }
  out.append(text, from);
  return out;
}

}  // namespace vestrana
