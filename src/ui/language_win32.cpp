#include "ui/strings.h"

#include "system/windows_headers.h"

namespace vestrana {

LanguageCode pick_language() { return language_for_langid(GetUserDefaultUILanguage()); }

}  // namespace vestrana
