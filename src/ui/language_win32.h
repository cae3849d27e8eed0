#pragma once
// The user's interface language, as Windows reports it.

#include "ui/strings.h"

namespace vestrana {

// The user's interface language.
LanguageCode pick_language();

}  // namespace vestrana
