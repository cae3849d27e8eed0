// The download address on its own, so that a test build of the program can
// point it at a local server without rebuilding anything else.
#include "system/webview2.h"

#ifndef VESTRANA_WEBVIEW2_HOST
#error "VESTRANA_WEBVIEW2_HOST (scheme and host of the bootstrapper download) must be defined by the build"
#endif

namespace vestrana {

std::string webview2_download_url() {
  std::string url = VESTRANA_WEBVIEW2_HOST;
  url += kWebView2LinkPath;
  return url;
}

}  // namespace vestrana
