#pragma once
// The packed app: the application's files, carried inside the setup program
// as one .xz stream of concatenated records
//   name length (u32 LE) | name (UTF-8) | data length (u64 LE) | data
// with nothing before, between or after them. Extraction decodes and checks
// the whole archive in memory before anything touches the disk.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"

namespace vestrana {

struct PackedEntry {
  std::string name;  // the record's name, unchanged (a bare file name)
  std::vector<uint8_t> data;  // the file's contents, owned
};

// Decodes the .xz stream and splits it into its records, in archive order.
// Failure texts (fixed English sentences passed on unchanged):
//   "the packed app is damaged ({decoder's description})"
//   "the packed app ends early"
//   "a file name in the packed app is not text"
//   "unexpected file name {quoted name} in the packed app"
Expected<std::vector<PackedEntry>> unpack_packed_app(std::span<const uint8_t> packed);

// The second half of unpack_packed_app: splits already decoded bytes into
// records and checks every name. Zero bytes give an empty list.
Expected<std::vector<PackedEntry>> split_packed_archive(std::span<const uint8_t> unpacked);

// The name in quoted form for failure texts: in double quotes, with '"' and
// '\' escaped by a backslash, NUL/tab/CR/LF as \0 \t \r \n, and every other
// character that does not print as \u{hex} (lower case, no leading zeros).
// Bytes that are not UTF-8 are shown as U+FFFD.
std::string quote_file_name(std::string_view name);

}  // namespace vestrana
