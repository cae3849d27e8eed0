#pragma once
// What start-up hands the window for an interactive run.

#include <string>
#include <string_view>
#include <vector>

#include "base/mode.h"
#include "ui/strings.h"

namespace vestrana {

// What the window needs to start an interactive run.
struct InteractiveStart {
  Mode mode;
  std::vector<bool> options;
  std::string_view title;
  bool dark = false;
  std::string target_folder;
  const StringTable* strings = nullptr;
  // Not empty when the run must not go on: the window opens on an error
  // screen with this text and offers no retry, only Close.
  std::string refusal = {};
};

}  // namespace vestrana
