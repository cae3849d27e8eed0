#include "system/webview2.h"

#include "system/bootstrapper_trust.h"
#include "system/downloader.h"
#include "system/file_system.h"
#include "system/platform.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// Downloads the bootstrapper to `setup_path` in the private `folder` and runs
// it if it is the vendor's; true when it ran and reported success.
bool run_vendor_bootstrapper(Downloader& downloader, const std::string& folder, const std::string& setup_path) {
  if (downloader.download_to_file(webview2_download_url(), setup_path, webview2_download_limits()) < 0) return false;
  // From here on the file cannot change: what is checked is what runs.
  std::unique_ptr<HeldFile> file = downloader.hold(setup_path);
  if (!file || !is_trusted_bootstrapper(file->check_signature())) return false;
  std::string command_line = "\"" + setup_path + "\" ";
  command_line += kWebView2SetupArguments;
  // Its current folder is ours too, not wherever the setup was started from
  // (usually Downloads, where a planted file could be picked up by name).
  ProcessOutcome outcome = file->start_and_wait(command_line, folder);
  // A "successful" download of an error page is simply a bootstrapper that
  // cannot start or does not return 0.
  return outcome.started && outcome.exit_code && *outcome.exit_code == 0;
}

}  // namespace

bool is_webview2_installed(RegistryApi& registry) {
  for (const WebView2ClientKey& key : kWebView2ClientKeys) {
    std::optional<std::string> version = read_registry_string(
        registry, key.root, std::string(key.path), std::string(kWebView2VersionValue));
    if (version && !version->empty() && *version != kWebView2PlaceholderVersion) return true;
  }
  return false;
}

Result ensure_webview2(Platform& platform, std::string_view error_text) {
  if (is_webview2_installed(platform.registry)) return Result::success();

  std::optional<std::string> temp = platform.files.temp_folder();
  // Without the temporary folder the file would land wherever the setup runs.
  if (!temp || temp->empty()) return Result::failure(std::string(error_text));
  // A folder of our own, new for this run: nothing anyone placed in the
  // temporary folder beforehand (an old download, a link meant to redirect
  // the download) can be in it.
  std::optional<std::string> folder = platform.downloader.create_private_folder(*temp);
  if (!folder) return Result::failure(std::string(error_text));
  std::string setup_path = join_path(*folder, kWebView2SetupFileName);

  bool bootstrapper_succeeded = run_vendor_bootstrapper(platform.downloader, *folder, setup_path);
  HoldRetry retry(platform.clock);
  // A link is removed itself, never what it points at.
  remove_entry(platform.files, retry, setup_path);
  remove_folder_surely(platform.files, retry, *folder);

  if (bootstrapper_succeeded && is_webview2_installed(platform.registry)) return Result::success();
  return Result::failure(std::string(error_text));
}

}  // namespace vestrana
