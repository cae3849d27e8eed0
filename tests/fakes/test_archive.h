#pragma once
// Builds packed apps for tests: records of name and contents, compressed
// into one .xz stream the way the packing step does it.

#include <lzma.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vestrana::testing {

inline std::vector<uint8_t> archive_records(const std::vector<std::pair<std::string, std::string>>& files) {
  std::vector<uint8_t> out;
  auto put = [&](uint64_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  for (const auto& [name, data] : files) {
    put(name.size(), 4);
    out.insert(out.end(), name.begin(), name.end());
    put(data.size(), 8);
    out.insert(out.end(), data.begin(), data.end());
  }
  return out;
}

inline std::vector<uint8_t> xz_compress(const std::vector<uint8_t>& plain) {
  std::vector<uint8_t> out(lzma_stream_buffer_bound(plain.size()));
  size_t used = 0;
  lzma_ret ret =
      lzma_easy_buffer_encode(0, LZMA_CHECK_CRC32, nullptr, plain.data(), plain.size(), out.data(), &used, out.size());
  if (ret != LZMA_OK) return {};
  out.resize(used);
  return out;
}

inline std::vector<uint8_t> packed_app(const std::vector<std::pair<std::string, std::string>>& files) {
  return xz_compress(archive_records(files));
}

}  // namespace vestrana::testing
