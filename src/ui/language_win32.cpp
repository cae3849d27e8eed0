#include "ui/language_win32.h"

#include "system/windows_headers.h"
#include "system/platform_parts_win32.h"

namespace vestrana {

LanguageCode pick_language() {
  const LANGID user = GetUserDefaultUILanguage();
  const LanguageCode code = language_for_langid(user);
  prefer_message_language(langid_for(code, user));
  return code;
}

}  // namespace vestrana
