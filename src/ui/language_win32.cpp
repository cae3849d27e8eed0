#include "ui/language_win32.h"

#include "system/windows_headers.h"

namespace vestrana {

LanguageCode pick_language() { return language_for_langid(GetUserDefaultUILanguage()); }

}  // namespace vestrana
