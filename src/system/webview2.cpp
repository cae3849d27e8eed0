#include "system/webview2.h"

#include "system/downloader.h"
#include "system/file_system.h"
#include "system/platform.h"
#include "system/process_api.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {

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
  std::string setup_path = join_path(*temp, kWebView2SetupFileName);

  // The name is fixed and the folder is shared with every program of the
  // user: whatever lies there (an old download, or a link planted to have
  // the download written somewhere else) goes first, and only a plain file
  // the download made is run.
  HoldRetry retry(platform.clock);
  bool bootstrapper_succeeded = false;
  if (remove_entry(platform.files, retry, setup_path) &&
      platform.downloader.download_to_file(webview2_download_url(), setup_path) >= 0 &&
      !platform.files.is_link(setup_path)) {
    ProcessStart start;
    start.program = setup_path;
    start.command_line = "\"" + setup_path + "\" ";
    start.command_line += kWebView2SetupArguments;
    start.wait = true;
    ProcessOutcome outcome = platform.processes.start(start);
    // A "successful" download of an error page is simply a bootstrapper that
    // cannot start or does not return 0.
    bootstrapper_succeeded = outcome.started && outcome.exit_code && *outcome.exit_code == 0;
  }
  // A link is removed itself, never what it points at.
  remove_entry(platform.files, retry, setup_path);

  if (bootstrapper_succeeded && is_webview2_installed(platform.registry)) return Result::success();
  return Result::failure(std::string(error_text));
}

}  // namespace vestrana
