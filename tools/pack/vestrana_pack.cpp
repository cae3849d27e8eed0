// vestrana-pack OUTPUT FILE...   packs the files, in the given order, into the
//                                packed app that the setup carries
// vestrana-pack --list FILE      reads FILE with the setup's own reader and
//                                prints each file's size and name, or the
//                                setup's failure text (exit code 1)
//
// The archive: records of name length (u32 LE), name, data length (u64 LE)
// and data, the name being the file's base name, all in one .xz stream with a
// CRC32 check and LZMA2 at preset 9 with a 64 MiB dictionary.

#include <lzma.h>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "payload/packed_app.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

std::optional<Bytes> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

void put_le(Bytes& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::optional<Bytes> compress(const Bytes& plain) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 9)) return std::nullopt;
  options.dict_size = 64u << 20;
  lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream strm = LZMA_STREAM_INIT;
  if (lzma_stream_encoder(&strm, filters, LZMA_CHECK_CRC32) != LZMA_OK) return std::nullopt;

  Bytes out(lzma_stream_buffer_bound(plain.size()));
  strm.next_in = plain.data();
  strm.avail_in = plain.size();
  strm.next_out = out.data();
  strm.avail_out = out.size();
  lzma_ret ret;
  do {
    ret = lzma_code(&strm, LZMA_FINISH);
  } while (ret == LZMA_OK);
  out.resize(strm.total_out);
  lzma_end(&strm);
  if (ret != LZMA_STREAM_END) return std::nullopt;
  return out;
}

int list(const char* path) {
  std::optional<Bytes> packed = read_file(path);
  if (!packed) {
    std::fprintf(stderr, "vestrana-pack: cannot read %s\n", path);
    return 1;
  }
  auto entries = vestrana::unpack_packed_app(*packed);
  if (!entries) {
    std::fprintf(stderr, "%s\n", entries.failure_text().c_str());
    return 1;
  }
  for (const vestrana::PackedEntry& entry : *entries) {
    std::printf("%12" PRIu64 "  %s\n", static_cast<uint64_t>(entry.data.size()), entry.name.c_str());
  }
  return 0;
}

int pack(const fs::path& output, const std::vector<fs::path>& inputs) {
  Bytes archive;
  std::vector<std::pair<std::string, Bytes>> files;
  for (const fs::path& input : inputs) {
    std::optional<Bytes> data = read_file(input);
    if (!data) {
      std::fprintf(stderr, "vestrana-pack: cannot read %s\n", input.string().c_str());
      return 1;
    }
    std::string name = input.filename().string();
    put_le(archive, name.size(), 4);
    archive.insert(archive.end(), name.begin(), name.end());
    put_le(archive, data->size(), 8);
    archive.insert(archive.end(), data->begin(), data->end());
    files.emplace_back(std::move(name), std::move(*data));
  }

  std::optional<Bytes> packed = compress(archive);
  if (!packed) {
    std::fprintf(stderr, "vestrana-pack: compression failed\n");
    return 1;
  }
  // Read it back the way the setup will: a name the setup refuses, or any
  // difference, must stop the build rather than ship.
  auto entries = vestrana::unpack_packed_app(*packed);
  if (!entries) {
    std::fprintf(stderr, "vestrana-pack: %s\n", entries.failure_text().c_str());
    return 1;
  }
  bool same = entries->size() == files.size();
  for (size_t i = 0; same && i < files.size(); ++i) {
    same = (*entries)[i].name == files[i].first && (*entries)[i].data == files[i].second;
  }
  if (!same) {
    std::fprintf(stderr, "vestrana-pack: the archive does not read back as written\n");
    return 1;
  }

  // Written beside the output and renamed, so a failed run leaves no
  // half-written archive for the build to pick up.
  fs::path temp = output;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(packed->data()), static_cast<std::streamsize>(packed->size()));
    out.close();
    if (!out) {
      std::fprintf(stderr, "vestrana-pack: cannot write %s\n", temp.string().c_str());
      std::error_code ignored;
      fs::remove(temp, ignored);
      return 1;
    }
  }
  std::error_code error;
  fs::rename(temp, output, error);
  if (error) {
    std::fprintf(stderr, "vestrana-pack: cannot write %s: %s\n", output.string().c_str(), error.message().c_str());
    fs::remove(temp, error);
    return 1;
  }
  std::printf("vestrana-pack: %zu files, %zu bytes -> %zu bytes\n", files.size(), archive.size(), packed->size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 2 && args[0] == "--list") return list(args[1].c_str());
  if (args.size() >= 2 && !args[0].starts_with("--")) {
    return pack(args[0], std::vector<fs::path>(args.begin() + 1, args.end()));
  }
  std::fprintf(stderr,
               "usage: vestrana-pack OUTPUT FILE...\n"
               "       vestrana-pack --list FILE\n");
  return 2;
}
