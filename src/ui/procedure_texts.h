#pragma once
// The failure texts the procedures report, taken from the run's string
// table: the procedures themselves know no languages.

#include "payload/install.h"
#include "ui/strings.h"

namespace vestrana {

inline InstallTexts install_texts(const StringTable& table) {
  return {table[StringId::ErrorWriteFiles], table[StringId::ErrorWebView2], table[StringId::ErrorAppElevated]};
}

// The removal's one failure text.
inline std::string_view removal_refusal(const StringTable& table) { return table[StringId::ErrorAppElevated]; }

}  // namespace vestrana
