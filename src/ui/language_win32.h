#pragma once
// The user's interface language, as Windows reports it.

#include "ui/strings.h"

namespace vestrana {

// The user's interface language; the system's error texts are asked for
// in its table's language first from then on.
LanguageCode pick_language();

}  // namespace vestrana
