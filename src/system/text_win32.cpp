#include "system/text_win32.h"

#include "base/text.h"

namespace vestrana {

static_assert(sizeof(wchar_t) == 2, "the Windows layer needs 16-bit wchar_t");

std::wstring to_wide(std::string_view utf8) { return utf16_detail::utf8_to_utf16_units<wchar_t>(utf8); }

std::string to_utf8(std::wstring_view utf16) { return *utf16_detail::utf16_units_to_utf8(utf16, false); }

std::optional<std::string> to_utf8_strict(std::wstring_view utf16) {
  return utf16_detail::utf16_units_to_utf8(utf16, true);
}

}  // namespace vestrana
