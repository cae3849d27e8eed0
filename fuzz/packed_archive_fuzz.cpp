// The unpacked archive of the packed app, reached past the xz checks: the
// fuzzer's bytes are the archive, stored in a valid .xz stream (check type
// none, CRC32 or CRC64 by input length) before unpack_packed_app sees them.
// Each result is compared with a plain reading of the record format.

#include <lzma.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "packed_app_checks.h"
#include "payload/packed_app.h"

using namespace vestrana;
using fuzz::Rejection;

namespace {

// A valid .xz stream that holds the bytes as they are, in LZMA2's
// uncompressed chunks: no encoder is set up for each input, which would cost
// more than everything else the target does.
std::vector<uint8_t> pack(std::span<const uint8_t> archive) {
  static constexpr lzma_check kChecks[] = {LZMA_CHECK_NONE, LZMA_CHECK_CRC32, LZMA_CHECK_CRC64};
  lzma_stream_flags flags{};
  flags.check = kChecks[archive.size() % 3];
  lzma_filter no_filters[] = {{LZMA_VLI_UNKNOWN, nullptr}};
  lzma_block block{};
  block.check = flags.check;
  block.filters = no_filters;
  std::vector<uint8_t> out(LZMA_STREAM_HEADER_SIZE + lzma_block_buffer_bound(archive.size()) + 64 +
                           LZMA_STREAM_HEADER_SIZE);
  size_t pos = LZMA_STREAM_HEADER_SIZE;
  lzma_index* index = lzma_index_init(nullptr);
  if (index == nullptr || lzma_stream_header_encode(&flags, out.data()) != LZMA_OK ||
      lzma_block_uncomp_encode(&block, archive.data(), archive.size(), out.data(), &pos, out.size()) != LZMA_OK ||
      lzma_index_append(index, nullptr, lzma_block_unpadded_size(&block), block.uncompressed_size) != LZMA_OK) {
    std::abort();
  }
  flags.backward_size = lzma_index_size(index);
  if (lzma_index_buffer_encode(index, out.data(), &pos, out.size()) != LZMA_OK) std::abort();
  lzma_index_end(index, nullptr);
  if (lzma_stream_footer_encode(&flags, out.data() + pos) != LZMA_OK) std::abort();
  out.resize(pos + LZMA_STREAM_HEADER_SIZE);
  return out;
}

struct Expectation {
  bool ok = true;
  fuzz::Failure failure{Rejection::EndsEarly, {}};
  std::vector<PackedEntry> entries;
};

uint64_t little_endian(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (size_t k = bytes.size(); k > 0; --k) v = v << 8 | bytes[k - 1];
  return v;
}

// name length (4) | name | data length (8) | data, until the bytes are used up.
Expectation read_records(std::span<const uint8_t> rest) {
  Expectation e;
  auto fail = [&e](Rejection kind, std::string name = {}) {
    e.ok = false;
    e.failure = {kind, std::move(name)};
    return e;
  };
  while (!rest.empty()) {
    if (rest.size() < 4) return fail(Rejection::EndsEarly);
    const uint64_t name_length = little_endian(rest.first(4));
    rest = rest.subspan(4);
    if (rest.size() < name_length) return fail(Rejection::EndsEarly);
    std::string name(reinterpret_cast<const char*>(rest.data()), name_length);
    rest = rest.subspan(name_length);
    if (!fuzz::is_utf8(name)) return fail(Rejection::NotText);
    if (fuzz::breaks_name_rules(name)) return fail(Rejection::UnexpectedName, name);
    if (rest.size() < 8) return fail(Rejection::EndsEarly);
    const uint64_t data_length = little_endian(rest.first(8));
    rest = rest.subspan(8);
    if (rest.size() < data_length) return fail(Rejection::EndsEarly);
    e.entries.push_back(PackedEntry{name, std::vector<uint8_t>(rest.begin(), rest.begin() + data_length)});
    rest = rest.subspan(data_length);
  }
  return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> archive(data, size);
  const std::vector<uint8_t> packed = pack(archive);
  auto result = unpack_packed_app(packed);
  const Expectation expected = read_records(archive);
  if (result.ok() != expected.ok) std::abort();
  if (result) {
    if (result->size() != expected.entries.size()) std::abort();
    for (size_t i = 0; i < result->size(); ++i) {
      if ((*result)[i].name != expected.entries[i].name || (*result)[i].data != expected.entries[i].data) {
        std::abort();
      }
    }
    return 0;
  }
  const fuzz::Failure failure = fuzz::classify_failure(result.failure_text());
  if (failure.kind != expected.failure.kind || failure.name != expected.failure.name) std::abort();
  return 0;
}
