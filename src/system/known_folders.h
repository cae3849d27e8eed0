#pragma once
// The user's shell folders and environment.

#include <optional>
#include <string>

namespace vestrana {

// Fonts is the system's fonts folder, where the fallback faces are read.
enum class KnownFolder { LocalAppData, RoamingAppData, Programs, Desktop, Fonts };

class KnownFolders {
 public:
  virtual ~KnownFolders() = default;
  // SHGetKnownFolderPath(id, 0, no token); nothing on failure or on text
  // that is not valid UTF-16. The buffer is always freed with CoTaskMemFree.
  virtual std::optional<std::string> known_folder_path(KnownFolder folder) = 0;
  // An environment variable, or nothing when unset.
  virtual std::optional<std::string> environment_variable(const std::string& name) = 0;
};

// The install folder: the local application data folder (else %LOCALAPPDATA%)
// joined with "vestrana". Nothing when neither gives a base folder: the setup
// never installs into a folder relative to wherever it happens to run.
std::optional<std::string> default_install_folder(KnownFolders& folders);

}  // namespace vestrana
