#pragma once
// One synchronous download to a file (URLDownloadToFileW).

#include <cstdint>
#include <string>

namespace vestrana {

class Downloader {
 public:
  virtual ~Downloader() = default;
  // Returns the HRESULT: success is non-negative.
  virtual int32_t download_to_file(const std::string& url, const std::string& path) = 0;
};

}  // namespace vestrana
