#pragma once
// The Microsoft Edge WebView2 runtime the installed application needs: found
// by its update client registration, else fetched as the vendor's Evergreen
// bootstrapper, run silently, and looked for again.

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "system/downloader.h"
#include "system/registry_api.h"

namespace vestrana {

struct Platform;

struct WebView2ClientKey {
  RegistryRoot root;
  std::string_view path;
};

// Searched in this order. The GUID names the runtime among the vendor's
// update clients; the first key is the 32-bit view seen from a 64-bit program.
inline constexpr WebView2ClientKey kWebView2ClientKeys[] = {
    {RegistryRoot::LocalMachine,
     "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"},
    {RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"},
    {RegistryRoot::CurrentUser, "Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}"},
};
inline constexpr std::string_view kWebView2VersionValue = "pv";
// Registered by a runtime that is not (or no longer) really there.
inline constexpr std::string_view kWebView2PlaceholderVersion = "0.0.0.0";

// The vendor's permanent link for the Evergreen bootstrapper; the host is
// configured at build time.
inline constexpr std::string_view kWebView2LinkPath = "/fwlink/p/?LinkId=2124703";
inline constexpr std::string_view kWebView2SetupFileName = "vestrana-webview2-setup.exe";
inline constexpr std::string_view kWebView2SetupArguments = "/silent /install";

std::string webview2_download_url();
// A minute without data, a quarter of an hour in all: the bootstrapper is
// about 2 MB, so either means the connection is gone, and the user would
// otherwise watch the progress screen for ever. Like the address, set in
// its own unit so that a test build can shorten them.
DownloadLimits webview2_download_limits();

// The registered runtime's version ("pv"), from the first key that has a
// real one; nothing when none does.
std::optional<std::string> installed_webview2_version(RegistryApi& registry);
bool is_webview2_installed(RegistryApi& registry);

// Success when the runtime is present, if need be after downloading and
// running the bootstrapper; otherwise error_text (the chosen language's
// ErrorWebView2), unchanged. The bootstrapper runs only when the vendor
// signed it; a file that fails the check counts as a failed download. The
// downloaded file and its folder are always removed.
Result ensure_webview2(Platform& platform, std::string_view error_text);

}  // namespace vestrana
