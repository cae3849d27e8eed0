#pragma once
// Known folders and environment variables from tables; anything missing is
// unknown. Environment names compare case-insensitively, as on Windows.

#include <map>
#include <optional>
#include <string>

#include "base/text.h"
#include "system/known_folders.h"
#include "system/win_path.h"

namespace vestrana {

class FakeKnownFolders : public KnownFolders {
 public:
  std::map<KnownFolder, std::string> folders;
  std::map<std::string, std::string> environment;

  std::optional<std::string> known_folder_path(KnownFolder folder) override {
    auto found = folders.find(folder);
    if (found == folders.end()) return std::nullopt;
    return found->second;
  }
  std::optional<std::string> environment_variable(const std::string& name) override {
    for (const auto& [key, value] : environment) {
      if (equal_ignoring_ascii_case(key, name)) return value;
    }
    return std::nullopt;
  }
};

}  // namespace vestrana
