#pragma once
// A download that returns a chosen HRESULT and records what was asked for.
// `on_download` lets a test put the downloaded file somewhere (a fake file
// system) or register things as a side effect.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "system/downloader.h"

namespace vestrana {

class FakeDownloader : public Downloader {
 public:
  struct Call {
    std::string url;
    std::string path;
  };
  static constexpr int32_t kInetDownloadFailure = static_cast<int32_t>(0x800C0008u);

  int32_t result = 0;
  std::function<void(const std::string& url, const std::string& path)> on_download;
  std::vector<Call> calls;

  int32_t download_to_file(const std::string& url, const std::string& path) override {
    calls.push_back({url, path});
    if (on_download) on_download(url, path);
    return result;
  }
};

}  // namespace vestrana
