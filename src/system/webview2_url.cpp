// The download address and limits on their own, so that a test build of the
// program can point it at a local server, and give up on a silent one
// sooner, without rebuilding anything else.
#include "system/webview2.h"

#ifndef VESTRANA_WEBVIEW2_HOST
#error "VESTRANA_WEBVIEW2_HOST (scheme and host of the bootstrapper download) must be defined by the build"
#endif
#ifndef VESTRANA_WEBVIEW2_STALL_SECONDS
#define VESTRANA_WEBVIEW2_STALL_SECONDS 60
#endif

namespace vestrana {

std::string webview2_download_url() {
  std::string url = VESTRANA_WEBVIEW2_HOST;
  url += kWebView2LinkPath;
  return url;
}

DownloadLimits webview2_download_limits() {
  return DownloadLimits{std::chrono::seconds(VESTRANA_WEBVIEW2_STALL_SECONDS), std::chrono::minutes(15)};
}

}  // namespace vestrana
