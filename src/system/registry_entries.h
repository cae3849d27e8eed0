#pragma once
// Every registry key and value the setup writes, reads or deletes for itself:
// the uninstall entry, the autostart value, the application's own keys and
// the theme preference, all under HKEY_CURRENT_USER. The generic operations
// here are the only callers of RegistryApi apart from the WebView2 check.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/result.h"
#include "system/registry_api.h"

namespace vestrana {

class KnownFolders;
class SystemMessages;

inline constexpr std::string_view kUninstallKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vestrana";
inline constexpr std::string_view kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kAutostartValueName = "vestrana";
// Where Task Manager and Settings keep a user's choice about each Run value:
// a binary value of the same name whose first byte has its lowest bit set
// when the user turned the entry off (02 on, 03 off; 06 and 07 are seen
// too). Windows then skips the Run value, however often it is rewritten.
inline constexpr std::string_view kStartupApprovedKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
// The application's own settings; the setup never writes them, it only
// removes them (and their parent when nothing else lives there).
inline constexpr std::string_view kAppKeyPath = "Software\\vestrana\\vestrana";
inline constexpr std::string_view kAppParentKeyPath = "Software\\vestrana";
inline constexpr std::string_view kPersonalizeKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
inline constexpr std::string_view kLightThemeValueName = "AppsUseLightTheme";
inline constexpr std::string_view kProductUrl = "https://vestrana.app/";

struct RegistryValue {
  std::string name;
  // A text is written as REG_SZ, a number as REG_DWORD.
  std::variant<std::string, uint32_t> data;
};

struct InstalledEntry {
  std::string version;
  // The install folder of that installation. Empty only when no folder could
  // be determined at all (not recorded and no local application data folder):
  // callers must not treat an empty location as a folder to act in.
  std::string location;
};

// Creates or opens key_path under HKEY_CURRENT_USER and writes the values in
// order. A failing value does not stop the later ones; the last failure is
// reported. The key is closed in every case.
Result set_registry_values(RegistryApi& registry, SystemMessages& messages, const std::string& key_path,
                           const std::vector<RegistryValue>& values);

// The REG_SZ value, or nothing on any failure.
std::optional<std::string> read_registry_string(RegistryApi& registry, RegistryRoot root, const std::string& key_path,
                                                const std::string& value_name);

// Removes key_path under HKEY_CURRENT_USER with everything below it.
// Best effort: nothing is reported.
void delete_registry_tree(RegistryApi& registry, const std::string& key_path);

// The uninstall entry for an install into install_folder; installed_bytes is
// the size of everything the install wrote there.
Result write_uninstall_entry(RegistryApi& registry, SystemMessages& messages, std::string_view install_folder,
                             uint64_t installed_bytes);

// The installed copy's version and folder, or nothing when not installed.
std::optional<InstalledEntry> read_installed_entry(RegistryApi& registry, KnownFolders& folders);

void delete_uninstall_entry(RegistryApi& registry);
void delete_app_keys(RegistryApi& registry);

// Enabling writes the Run value (and may fail) and then clears the user's
// earlier choice about it (StartupApproved), which would otherwise keep it
// off; disabling removes both and always succeeds.
Result set_autostart(RegistryApi& registry, SystemMessages& messages, std::string_view install_folder, bool enabled);
// The Run value exists and the user has not turned it off.
bool autostart_present(RegistryApi& registry);

// True when the user chose the dark app theme (AppsUseLightTheme reads 0).
bool read_dark_preference(RegistryApi& registry);

// The uninstaller path inside an UninstallString: blanks trimmed, leading
// quotes dropped, cut at the next quote.
std::string uninstaller_path_from_command(std::string_view command);

}  // namespace vestrana
