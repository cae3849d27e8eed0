// Registry texts written by other programs: the uninstall entry's values
// and the WebView2 runtime's version registrations, each missing, of the
// wrong type or any text at all, read by read_installed_entry and the
// WebView2 test against an in-memory registry.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fakes/fake_known_folders.h"
#include "fakes/fake_registry.h"
#include "system/registry_entries.h"
#include "system/webview2.h"
#include "system/win_path.h"

using namespace vestrana;

namespace {

// Absent, a DWORD, or a text (REG_SZ as read back: cut at the first NUL).
std::optional<FakeRegistry::Data> any_value(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return std::nullopt;
    case 1: return FakeRegistry::Data{in.ConsumeIntegral<uint32_t>()};
    default: {
      std::string text = in.ConsumeRandomLengthString(300);
      return FakeRegistry::Data{text.substr(0, text.find('\0'))};
    }
  }
}

bool is_text(const std::optional<FakeRegistry::Data>& value) {
  return value && std::holds_alternative<std::string>(*value);
}

// "C:\..." or "\\server\share\...": the only locations acted on.
bool is_full(const std::string& path) {
  const PathParts parts = split_path(path);
  return !parts.prefix.empty() && parts.rooted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  FakeRegistry registry;
  FakeKnownFolders folders;
  const std::string key(kUninstallKeyPath);

  const char* const names[] = {"DisplayVersion", "InstallLocation", "UninstallString"};
  std::optional<FakeRegistry::Data> values[3];
  for (int i = 0; i < 3; ++i) {
    values[i] = any_value(in);
    if (values[i]) registry.put(RegistryRoot::CurrentUser, key, names[i], *values[i]);
  }
  bool runtime_expected = false;
  for (const WebView2ClientKey& client : kWebView2ClientKeys) {
    std::optional<FakeRegistry::Data> pv = any_value(in);
    if (!pv) continue;
    registry.put(client.root, client.path, kWebView2VersionValue, *pv);
    if (is_text(pv) && !std::get<std::string>(*pv).empty() &&
        std::get<std::string>(*pv) != kWebView2PlaceholderVersion) {
      runtime_expected = true;
    }
  }
  if (in.ConsumeBool()) folders.folders[KnownFolder::LocalAppData] = in.ConsumeRandomLengthString(80);
  if (in.ConsumeBool()) folders.environment["LOCALAPPDATA"] = in.ConsumeRandomLengthString(80);

  if (is_webview2_installed(registry) != runtime_expected) std::abort();

  const std::optional<InstalledEntry> entry = read_installed_entry(registry, folders);
  if (entry.has_value() != is_text(values[0])) std::abort();
  if (!entry) return 0;
  if (entry->version != std::get<std::string>(*values[0])) std::abort();
  // The recorded location when it is a full path; else a full path derived
  // from the uninstall command or the default folder; empty only when there
  // is no default folder either.
  if (is_text(values[1]) && is_full(std::get<std::string>(*values[1]))) {
    if (entry->location != std::get<std::string>(*values[1])) std::abort();
  } else {
    if (!entry->location.empty() && !is_full(entry->location)) std::abort();
    if (entry->location.empty() && default_install_folder(folders)) std::abort();
  }
  return 0;
}
