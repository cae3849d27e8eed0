#include "ui/strings.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

namespace vestrana {

LanguageCode pick_language() { return language_for_langid(GetUserDefaultUILanguage()); }

}  // namespace vestrana
