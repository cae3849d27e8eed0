#include "payload/packed_app.h"

#include <lzma.h>

#include <cstring>
#include <memory>

#include "base/text.h"

namespace vestrana {
namespace {

constexpr const char* kEndsEarly = "the packed app ends early";
constexpr const char* kNotText = "a file name in the packed app is not text";

// ---- UTF-8 -------------------------------------------------------------------

// Decodes one strict UTF-8 sequence at s[i] (no overlong forms, no surrogates,
// nothing above U+10FFFF) and advances i; false leaves i unchanged.
bool decode_utf8(std::string_view s, size_t& i, char32_t& cp) {
  unsigned char c0 = static_cast<unsigned char>(s[i]);
  if (c0 < 0x80) {
    cp = c0;
    ++i;
    return true;
  }
  size_t len;
  char32_t min;
  if (c0 >= 0xC2 && c0 <= 0xDF) {
    len = 2, cp = c0 & 0x1F, min = 0x80;
  } else if (c0 >= 0xE0 && c0 <= 0xEF) {
    len = 3, cp = c0 & 0x0F, min = 0x800;
  } else if (c0 >= 0xF0 && c0 <= 0xF4) {
    len = 4, cp = c0 & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (s.size() - i < len) return false;
  for (size_t k = 1; k < len; ++k) {
    unsigned char c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (c & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += len;
  return true;
}

struct CodeRange {
  char32_t first, last;
};

// Characters that do not print on their own: controls, separators other than
// the plain space, format characters, private use and noncharacters. A name
// made of them would be invisible or misleading in an error text.
constexpr CodeRange kNotPrintable[] = {
    {0x0000, 0x001F},   {0x007F, 0x00A0},   {0x00AD, 0x00AD},    {0x0600, 0x0605},   {0x061C, 0x061C},
    {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},    {0x08E2, 0x08E2},   {0x1680, 0x1680},
    {0x180E, 0x180E},   {0x2000, 0x200F},   {0x2028, 0x202F},    {0x205F, 0x2064},   {0x2066, 0x206F},
    {0x3000, 0x3000},   {0xE000, 0xF8FF},   {0xFDD0, 0xFDEF},    {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},  {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A},
    {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF},
};

bool is_printable(char32_t cp) {
  if ((cp & 0xFFFE) == 0xFFFE) return false;  // U+xxFFFE and U+xxFFFF
  for (const CodeRange& r : kNotPrintable) {
    if (cp < r.first) return true;  // the table is sorted
    if (cp <= r.last) return false;
  }
  return true;
}

void append_hex_escape(std::string& out, char32_t cp) {
  static constexpr char kDigits[] = "0123456789abcdef";
  char digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[cp & 0xF];
    cp >>= 4;
  } while (cp != 0);
  out += "\\u{";
  while (n > 0) out += digits[--n];
  out += '}';
}

// ---- Names -------------------------------------------------------------------

enum class NameCheck { Ok, NotText, Unexpected };

NameCheck check_name(std::string_view name) {
  size_t i = 0;
  char32_t cp;
  while (i < name.size()) {
    if (!decode_utf8(name, i, cp)) return NameCheck::NotText;
  }
  // A bare file name: nothing that could leave the install folder, name a
  // drive or an alternate data stream, or hide the file.
  if (name.empty() || name.front() == '.') return NameCheck::Unexpected;
  if (name.find_first_of("/\\:") != std::string_view::npos) return NameCheck::Unexpected;
  return NameCheck::Ok;
}

// ---- Records -------------------------------------------------------------------

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  bool done() const { return pos_ == bytes_.size(); }

  // Takes n bytes when at least n are left (exactly n is enough).
  bool take(uint64_t n, std::span<const uint8_t>& out) {
    if (n > bytes_.size() - pos_) return false;
    out = bytes_.subspan(pos_, static_cast<size_t>(n));
    pos_ += static_cast<size_t>(n);
    return true;
  }

  bool take_le(size_t width, uint64_t& value) {
    std::span<const uint8_t> field;
    if (!take(width, field)) return false;
    value = 0;
    for (size_t k = width; k > 0; --k) value = (value << 8) | field[k - 1];
    return true;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

// ---- Decoding ------------------------------------------------------------------

// One line in the decoder's own words for a failed decode.
std::string describe_lzma_failure(lzma_ret ret) {
  switch (ret) {
    case LZMA_MEM_ERROR: return "out of memory";
    case LZMA_MEMLIMIT_ERROR: return "memory limit reached";
    case LZMA_FORMAT_ERROR: return "not an xz stream";
    case LZMA_OPTIONS_ERROR: return "unsupported stream options";
    case LZMA_DATA_ERROR: return "compressed data is corrupt";
    case LZMA_BUF_ERROR: return "compressed data is truncated";
    case LZMA_UNSUPPORTED_CHECK: return "unsupported integrity check";
    case LZMA_PROG_ERROR: return "internal decoder error";
    default: return "decoder error " + std::to_string(static_cast<int>(ret));
  }
}

class Decoder {
 public:
  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder() { lzma_end(&stream_); }
  lzma_stream* get() { return &stream_; }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

struct Decoded {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
};

// Decodes one whole .xz stream. The integrity check named in the header is
// verified (a check this decoder cannot verify is refused rather than skipped),
// and anything after the stream's footer is refused, so one stream and nothing
// else is accepted.
Expected<Decoded> decode_xz(std::span<const uint8_t> packed) {
  constexpr const char* kDamaged = "the packed app is damaged (";
  Decoder decoder;
  lzma_stream* strm = decoder.get();
  lzma_ret ret = lzma_stream_decoder(strm, UINT64_MAX, LZMA_TELL_UNSUPPORTED_CHECK);
  if (ret != LZMA_OK) return Expected<Decoded>::failure(kDamaged + describe_lzma_failure(ret) + ")");

  // The output grows by doubling into uninitialised storage; starting at four
  // times the packed size means typical executables never need to grow.
  constexpr size_t kMinCapacity = size_t{64} << 10;
  constexpr size_t kMaxFirstGuess = size_t{256} << 20;
  size_t capacity = packed.size() < kMaxFirstGuess / 4 ? packed.size() * 4 : kMaxFirstGuess;
  if (capacity < kMinCapacity) capacity = kMinCapacity;
  Decoded out;
  out.bytes = std::make_unique_for_overwrite<uint8_t[]>(capacity);

  strm->next_in = packed.data();
  strm->avail_in = packed.size();
  strm->next_out = out.bytes.get();
  strm->avail_out = capacity;
  for (;;) {
    ret = lzma_code(strm, LZMA_FINISH);
    if (ret == LZMA_STREAM_END) break;
    if (ret != LZMA_OK) return Expected<Decoded>::failure(kDamaged + describe_lzma_failure(ret) + ")");
    if (strm->avail_out == 0) {
      size_t used = capacity;
      if (capacity > SIZE_MAX / 2)
        return Expected<Decoded>::failure(kDamaged + describe_lzma_failure(LZMA_MEM_ERROR) + ")");
      capacity *= 2;
      auto grown = std::make_unique_for_overwrite<uint8_t[]>(capacity);
      std::memcpy(grown.get(), out.bytes.get(), used);
      out.bytes = std::move(grown);
      strm->next_out = out.bytes.get() + used;
      strm->avail_out = capacity - used;
    }
  }
  if (strm->avail_in != 0) {
    return Expected<Decoded>::failure(std::string(kDamaged) + "unexpected data after the end of the stream)");
  }
  out.size = capacity - strm->avail_out;
  return out;
}

}  // namespace

std::string quote_file_name(std::string_view name) {
  std::string out;
  out.reserve(name.size() + 2);
  out += '"';
  size_t i = 0;
  while (i < name.size()) {
    char32_t cp;
    if (!decode_utf8(name, i, cp)) {
      cp = 0xFFFD;
      ++i;
    }
    switch (cp) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\0': out += "\\0"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default:
        if (is_printable(cp)) {
          utf16_detail::append_utf8(out, cp);
        } else {
          append_hex_escape(out, cp);
        }
    }
  }
  out += '"';
  return out;
}

Expected<std::vector<PackedEntry>> split_packed_archive(std::span<const uint8_t> unpacked) {
  using Out = Expected<std::vector<PackedEntry>>;
  std::vector<PackedEntry> entries;
  Reader reader(unpacked);
  while (!reader.done()) {
    uint64_t name_length, data_length;
    std::span<const uint8_t> name_bytes, data;
    if (!reader.take_le(4, name_length) || !reader.take(name_length, name_bytes)) {
      return Out::failure(kEndsEarly);
    }
    std::string_view name(reinterpret_cast<const char*>(name_bytes.data()), name_bytes.size());
    switch (check_name(name)) {
      case NameCheck::Ok: break;
      case NameCheck::NotText: return Out::failure(kNotText);
      case NameCheck::Unexpected:
        return Out::failure("unexpected file name " + quote_file_name(name) + " in the packed app");
    }
    if (!reader.take_le(8, data_length) || !reader.take(data_length, data)) {
      return Out::failure(kEndsEarly);
    }
    entries.push_back(PackedEntry{std::string(name), std::vector<uint8_t>(data.begin(), data.end())});
  }
  return entries;
}

Expected<std::vector<PackedEntry>> unpack_packed_app(std::span<const uint8_t> packed) {
  Expected<Decoded> decoded = decode_xz(packed);
  if (!decoded) return Expected<std::vector<PackedEntry>>::failure(decoded.take_failure_text());
  // The decoded archive is freed on return, once the entries hold their copies.
  return split_packed_archive(std::span<const uint8_t>(decoded->bytes.get(), decoded->size));
}

}  // namespace vestrana
