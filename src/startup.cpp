#include "startup.h"

#include "base/product.h"

namespace vestrana {

Mode choose_mode(bool uninstall_flag, const std::optional<std::string>& installed_version) {
  if (uninstall_flag) return Mode::remove();
  // Only an exact match is the same version: "1.2.10" or "1.2" is an update.
  if (!installed_version || *installed_version == kSetupVersion) return Mode::install();
  return Mode::update(*installed_version);
}

std::vector<bool> default_options(const Mode& mode, bool installed, bool desktop_shortcut_present,
                                  bool autostart_present) {
  if (mode.kind == Mode::Remove) return {false};
  if (!installed) return {true, false};
  return {desktop_shortcut_present, autostart_present};
}

std::optional<std::string> choose_target_folder(const std::optional<std::string>& dir,
                                                const std::optional<std::string>& installed_location,
                                                const std::optional<std::string>& default_folder) {
  for (const auto* candidate : {&dir, &installed_location, &default_folder}) {
    if (*candidate && !(*candidate)->empty()) return **candidate;
  }
  return std::nullopt;
}

StringId window_title(const Mode& mode) {
  return mode.kind == Mode::Remove ? StringId::RemoveTitle : StringId::SetupTitle;
}

}  // namespace vestrana
