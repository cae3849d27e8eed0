#pragma once
// Text conversion at the Windows calls: UTF-8 inside the program, UTF-16
// (wchar_t) for the W functions. Ill-formed input in either direction becomes
// U+FFFD (see base/text.h for the exact rules), so a conversion never fails.

#include <optional>
#include <string>
#include <string_view>

namespace vestrana {

// The result's c_str() is the NUL-terminated text a W function expects.
std::wstring to_wide(std::string_view utf8);

std::string to_utf8(std::wstring_view utf16);

// Nothing when the UTF-16 text holds a lone surrogate.
std::optional<std::string> to_utf8_strict(std::wstring_view utf16);

}  // namespace vestrana
