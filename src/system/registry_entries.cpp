#include "system/registry_entries.h"

#include "base/product.h"
#include "system/known_folders.h"
#include "system/system_messages.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// Closes the key on every way out of set_registry_values.
class KeyCloser {
 public:
  KeyCloser(RegistryApi& registry, RegistryApi::KeyHandle key) : registry_(registry), key_(key) {}
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;
  ~KeyCloser() { registry_.close_key(key_); }

 private:
  RegistryApi& registry_;
  RegistryApi::KeyHandle key_;
};

// Length of the Unicode White_Space character encoded at text[i], or 0.
size_t white_space_length(std::string_view text, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
  size_t left = text.size() - i;
  unsigned char c = at(0);
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20) return 1;
  if (c == 0xC2 && left >= 2 && (at(1) == 0x85 || at(1) == 0xA0)) return 2;
  if (left < 3) return 0;
  if (c == 0xE1 && at(1) == 0x9A && at(2) == 0x80) return 3;  // U+1680
  if (c == 0xE2 && at(1) == 0x80) {
    unsigned char d = at(2);
    // U+2000..U+200A, U+2028, U+2029, U+202F
    if ((d >= 0x80 && d <= 0x8A) || d == 0xA8 || d == 0xA9 || d == 0xAF) return 3;
  }
  if (c == 0xE2 && at(1) == 0x81 && at(2) == 0x9F) return 3;  // U+205F
  if (c == 0xE3 && at(1) == 0x80 && at(2) == 0x80) return 3;  // U+3000
  return 0;
}

std::string_view trim_white_space(std::string_view text) {
  while (!text.empty()) {
    size_t n = white_space_length(text, 0);
    if (n == 0) break;
    text.remove_prefix(n);
  }
  bool trimmed = true;
  while (trimmed && !text.empty()) {
    trimmed = false;
    for (size_t n = 1; n <= 3 && n <= text.size(); ++n) {
      if (white_space_length(text, text.size() - n) == n) {
        text.remove_suffix(n);
        trimmed = true;
        break;
      }
    }
  }
  return text;
}

// A location read back from the registry is acted on (files are deleted in
// it), so only a complete path counts: "C:\..." or "\\server\share\...".
// A relative or drive-relative text would resolve against whatever folder the
// setup happens to run in.
bool is_full_path(std::string_view path) {
  PathParts parts = split_path(path);
  return !parts.prefix.empty() && parts.rooted;
}

std::string quoted(std::string_view path) {
  std::string out = "\"";
  out += path;
  out += '"';
  return out;
}

}  // namespace

Result set_registry_values(RegistryApi& registry, SystemMessages& messages, const std::string& key_path,
                           const std::vector<RegistryValue>& values) {
  RegistryApi::KeyHandle key = 0;
  int32_t status = registry.create_key(key_path, key);
  if (status != 0) {
    return Result::failure("registry " + key_path + ": " + describe_system_error(messages, hresult_from_win32(status)));
  }
  KeyCloser closer(registry, key);

  std::optional<std::string> pending;
  for (const RegistryValue& value : values) {
    int32_t s = 0;
    if (const auto* text = std::get_if<std::string>(&value.data)) {
      s = registry.set_string(key, value.name, *text);
    } else {
      s = registry.set_dword(key, value.name, std::get<uint32_t>(value.data));
    }
    if (s != 0) {
      pending = "registry " + key_path + "\\" + value.name + ": WIN32_ERROR(" + std::to_string(s) + ")";
    }
  }
  if (pending) return Result::failure(std::move(*pending));
  return Result::success();
}

std::optional<std::string> read_registry_string(RegistryApi& registry, RegistryRoot root, const std::string& key_path,
                                                const std::string& value_name) {
  return registry.get_string(root, key_path, value_name);
}

void delete_registry_tree(RegistryApi& registry, const std::string& key_path) {
  // An empty sub-key names the root itself: deleting its tree would empty the
  // user's whole hive.
  if (key_path.empty()) return;
  registry.delete_tree(key_path);
  registry.delete_key(key_path);
}

Result write_uninstall_entry(RegistryApi& registry, SystemMessages& messages, std::string_view install_folder,
                             uint64_t installed_bytes) {
  std::string uninstall = quoted(join_path(install_folder, kUninstallerName)) + " --uninstall";
  std::string quiet = uninstall + " --silent";
  // In KiB. A size beyond what 32 bits hold (4 TiB) is shown as the largest
  // one rather than wrapping round to a small number.
  uint64_t kib = installed_bytes >> 10;
  uint32_t estimated = kib > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(kib);

  std::vector<RegistryValue> values = {
      {"DisplayName", std::string(kProductName)},
      {"DisplayIcon", join_path(install_folder, kAppProgram)},
      {"DisplayVersion", std::string(kSetupVersion)},
      {"Publisher", std::string(kProductName)},
      {"URLInfoAbout", std::string(kProductUrl)},
      {"InstallLocation", std::string(install_folder)},
      {"UninstallString", uninstall},
      {"QuietUninstallString", quiet},
      {"EstimatedSize", estimated},
      {"NoModify", uint32_t{1}},
      {"NoRepair", uint32_t{1}},
  };
  return set_registry_values(registry, messages, std::string(kUninstallKeyPath), values);
}

std::string uninstaller_path_from_command(std::string_view command) {
  std::string_view text = trim_white_space(command);
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  size_t quote = text.find('"');
  if (quote != std::string_view::npos) text = text.substr(0, quote);
  return std::string(text);
}

std::optional<InstalledEntry> read_installed_entry(RegistryApi& registry, KnownFolders& folders) {
  const std::string key(kUninstallKeyPath);
  std::optional<std::string> version = read_registry_string(registry, RegistryRoot::CurrentUser, key, "DisplayVersion");
  if (!version) return std::nullopt;

  InstalledEntry entry{std::move(*version), {}};
  std::optional<std::string> location =
      read_registry_string(registry, RegistryRoot::CurrentUser, key, "InstallLocation");
  if (location && !location->empty() && is_full_path(*location)) {
    entry.location = std::move(*location);
    return entry;
  }
  if (std::optional<std::string> command =
          read_registry_string(registry, RegistryRoot::CurrentUser, key, "UninstallString")) {
    std::optional<std::string> parent = parent_folder(uninstaller_path_from_command(*command));
    if (parent && is_full_path(*parent)) {
      entry.location = std::move(*parent);
      return entry;
    }
  }
  entry.location = default_install_folder(folders).value_or(std::string());
  return entry;
}

void delete_uninstall_entry(RegistryApi& registry) { delete_registry_tree(registry, std::string(kUninstallKeyPath)); }

void delete_app_keys(RegistryApi& registry) {
  delete_registry_tree(registry, std::string(kAppKeyPath));
  // Fails, as intended, while another product of the vendor keeps a subkey.
  registry.delete_key(std::string(kAppParentKeyPath));
}

Result set_autostart(RegistryApi& registry, SystemMessages& messages, std::string_view install_folder, bool enabled) {
  const std::string name(kAutostartValueName);
  if (!enabled) {
    registry.delete_value(std::string(kRunKeyPath), name);
    registry.delete_value(std::string(kStartupApprovedKeyPath), name);
    return Result::success();
  }
  std::string command = quoted(join_path(install_folder, kAppProgram)) + " --background";
  Result written = set_registry_values(registry, messages, std::string(kRunKeyPath), {{name, std::move(command)}});
  // The user asked for autostart just now: an earlier "off" in Task Manager
  // must not outlive that. Without a choice recorded the entry counts as on.
  if (written) registry.delete_value(std::string(kStartupApprovedKeyPath), name);
  return written;
}

bool autostart_present(RegistryApi& registry) {
  const std::string name(kAutostartValueName);
  if (!read_registry_string(registry, RegistryRoot::CurrentUser, std::string(kRunKeyPath), name)) return false;
  std::optional<std::vector<uint8_t>> approval =
      registry.get_binary(RegistryRoot::CurrentUser, std::string(kStartupApprovedKeyPath), name);
  return !approval || approval->empty() || ((*approval)[0] & 1) == 0;
}

bool read_dark_preference(RegistryApi& registry) {
  std::optional<uint32_t> light = registry.get_dword(RegistryRoot::CurrentUser, std::string(kPersonalizeKeyPath),
                                                     std::string(kLightThemeValueName));
  return light.has_value() && *light == 0;
}

}  // namespace vestrana
