#include "system/file_system.h"

#include "system/win_path.h"

namespace vestrana {

bool FileSystem::is_link(const std::string& path) {
  std::optional<std::string> parent = parent_folder(path);
  std::string_view name = file_name(path);
  if (!parent || name.empty()) return false;
  std::optional<std::vector<FolderEntry>> entries = list_folder(*parent);
  if (!entries) return false;
  for (const FolderEntry& entry : *entries) {
    if (same_path(entry.name, name, /*ignore_case=*/true)) return entry.is_link;
  }
  return false;
}

}  // namespace vestrana
