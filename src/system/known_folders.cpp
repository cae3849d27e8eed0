#include "system/known_folders.h"

#include "base/product.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// Only a complete path ("C:\..." or "\\server\share\...") is a base to
// install into; an empty or relative LOCALAPPDATA would put the install
// folder below whatever folder the setup was started from.
bool usable_base(const std::optional<std::string>& base) {
  if (!base || base->empty()) return false;
  PathParts parts = split_path(*base);
  return !parts.prefix.empty() && parts.rooted;
}

}  // namespace

std::optional<std::string> default_install_folder(KnownFolders& folders) {
  std::optional<std::string> base = folders.known_folder_path(KnownFolder::LocalAppData);
  if (!usable_base(base)) base = folders.environment_variable("LOCALAPPDATA");
  if (!usable_base(base)) return std::nullopt;
  return join_path(*base, kProductName);
}

}  // namespace vestrana
