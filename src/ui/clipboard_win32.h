#pragma once
// Puts plain Unicode text on the clipboard for a paste elsewhere.

#include "system/windows_headers.h"

#include <string_view>

namespace vestrana {

// `text` (UTF-8) as CF_UNICODETEXT, owned by `window`; returns whether the
// clipboard took it (another program may hold it open).
bool copy_to_clipboard(HWND window, std::string_view text);

}  // namespace vestrana
