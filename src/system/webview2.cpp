#include "system/webview2.h"

#include "base/log.h"
#include "system/bootstrapper_trust.h"
#include "system/downloader.h"
#include "system/file_system.h"
#include "system/platform.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

std::string hex(uint32_t value) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += "0123456789ABCDEF"[(value >> shift) & 0xF];
  return text;
}

// Downloads the bootstrapper to `setup_path` in the private `folder` and runs
// it if it is the vendor's; true when it ran and reported success.
bool run_vendor_bootstrapper(Downloader& downloader, Log& log, const std::string& folder,
                             const std::string& setup_path) {
  std::string url = webview2_download_url();
  log_line(log, {"downloading the WebView2 bootstrapper from ", url});
  int32_t downloaded = downloader.download_to_file(url, setup_path, webview2_download_limits());
  if (downloaded < 0) {
    log_line(log, {"the download failed: HRESULT ", hex(static_cast<uint32_t>(downloaded))});
    return false;
  }
  // From here on the file cannot change: what is checked is what runs.
  std::unique_ptr<HeldFile> file = downloader.hold(setup_path);
  if (!file) {
    log.write("the downloaded bootstrapper could not be opened");
    return false;
  }
  SignatureCheck signature = file->check_signature();
  if (!is_trusted_bootstrapper(signature)) {
    log_line(log, {"the downloaded bootstrapper is not the vendor's (signature status ",
                   hex(static_cast<uint32_t>(signature.trust_status)), ", signer \"", signature.signer_organization,
                   "\"", (signature.accepted_root ? "" : ", root not accepted"), "); it is not run"});
    return false;
  }
  std::string command_line = "\"" + setup_path + "\" ";
  command_line += kWebView2SetupArguments;
  // Its current folder is ours too, not wherever the setup was started from
  // (usually Downloads, where a planted file could be picked up by name).
  ProcessOutcome outcome = file->start_and_wait(command_line, folder);
  if (!outcome.started) {
    log.write("the bootstrapper could not be started");
  } else if (outcome.exit_code) {
    log_line(log, {"the bootstrapper ended with exit code ", std::to_string(*outcome.exit_code)});
  } else {
    log.write("the bootstrapper ended without an exit code");
  }
  // A "successful" download of an error page is simply a bootstrapper that
  // cannot start or does not return 0.
  return outcome.started && outcome.exit_code && *outcome.exit_code == 0;
}

void log_runtime(Log& log, const std::optional<std::string>& version, std::string_view when) {
  if (version) {
    log_line(log, {"WebView2 runtime ", *version, " found", when});
  } else {
    log_line(log, {"WebView2 runtime not found", when});
  }
}

}  // namespace

std::optional<std::string> installed_webview2_version(RegistryApi& registry) {
  for (const WebView2ClientKey& key : kWebView2ClientKeys) {
    std::optional<std::string> version =
        read_registry_string(registry, key.root, std::string(key.path), std::string(kWebView2VersionValue));
    if (version && !version->empty() && *version != kWebView2PlaceholderVersion) return version;
  }
  return std::nullopt;
}

bool is_webview2_installed(RegistryApi& registry) { return installed_webview2_version(registry).has_value(); }

Result ensure_webview2(Platform& platform, std::string_view error_text) {
  std::optional<std::string> version = installed_webview2_version(platform.registry);
  log_runtime(platform.log, version, "");
  if (version) return Result::success();

  std::optional<std::string> temp = platform.files.temp_folder();
  // Without the temporary folder the file would land wherever the setup runs.
  if (!temp || temp->empty()) {
    platform.log.write("the temporary folder is unknown: no place for the bootstrapper");
    return Result::failure(std::string(error_text));
  }
  // A folder of our own, new for this run: nothing anyone placed in the
  // temporary folder beforehand (an old download, a link meant to redirect
  // the download) can be in it.
  std::optional<std::string> folder = platform.downloader.create_private_folder(*temp);
  if (!folder) {
    log_line(platform.log, {"could not create a folder for the bootstrapper in ", *temp});
    return Result::failure(std::string(error_text));
  }
  std::string setup_path = join_path(*folder, kWebView2SetupFileName);

  bool bootstrapper_succeeded = run_vendor_bootstrapper(platform.downloader, platform.log, *folder, setup_path);
  HoldRetry retry(platform.clock);
  // A link is removed itself, never what it points at.
  remove_entry(platform.files, retry, setup_path);
  remove_folder_surely(platform.files, retry, *folder);

  if (!bootstrapper_succeeded) return Result::failure(std::string(error_text));
  version = installed_webview2_version(platform.registry);
  log_runtime(platform.log, version, " after the bootstrapper");
  if (version) return Result::success();
  return Result::failure(std::string(error_text));
}

}  // namespace vestrana
