#include "payload/packed_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <lzma.h>

#include <string>
#include <vector>

namespace vestrana {
namespace {

using Bytes = std::vector<uint8_t>;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

void put_le(Bytes& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Stores at `at` the little-endian CRC32 of the `size` bytes from `from`.
void put_crc32(Bytes& out, size_t at, size_t from, size_t size) {
  uint32_t crc = lzma_crc32(&out[from], size, 0);
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(crc >> (8 * i));
}

Bytes record(std::string_view name, std::string_view data) {
  Bytes out;
  put_le(out, name.size(), 4);
  out.insert(out.end(), name.begin(), name.end());
  put_le(out, data.size(), 8);
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// Encodes `plain` as one .xz stream; with flush_every > 0 a new block starts
// after every flush_every bytes.
Bytes xz(const Bytes& plain, lzma_check check = LZMA_CHECK_CRC32, size_t flush_every = 0) {
  lzma_stream strm = LZMA_STREAM_INIT;
  EXPECT_EQ(lzma_easy_encoder(&strm, 0, check), LZMA_OK);
  Bytes out(plain.size() + plain.size() / 2 + 4096);
  strm.next_out = out.data();
  strm.avail_out = out.size();
  size_t pos = 0;
  while (true) {
    size_t chunk = flush_every ? std::min(flush_every, plain.size() - pos) : plain.size() - pos;
    strm.next_in = plain.data() + pos;
    strm.avail_in = chunk;
    pos += chunk;
    lzma_action action = pos == plain.size() ? LZMA_FINISH : LZMA_FULL_FLUSH;
    lzma_ret ret;
    do {
      ret = lzma_code(&strm, action);
    } while (ret == LZMA_OK && (strm.avail_in > 0 || action != LZMA_RUN));
    if (action == LZMA_FINISH) {
      EXPECT_EQ(ret, LZMA_STREAM_END);
      break;
    }
    EXPECT_EQ(ret, LZMA_STREAM_END);  // a full flush ends with STREAM_END too
  }
  out.resize(strm.total_out);
  lzma_end(&strm);
  return out;
}

Bytes bytes_of(std::string_view s) { return Bytes(s.begin(), s.end()); }

// The failure text of a result that must be a failure, or a mark no failure
// text equals when it succeeded.
std::string failure_of(const Expected<std::vector<PackedEntry>>& result) {
  return result.ok() ? "<accepted>" : result.failure_text();
}

std::vector<std::string> names_of(const std::vector<PackedEntry>& entries) {
  std::vector<std::string> out;
  for (const PackedEntry& e : entries) out.push_back(e.name);
  return out;
}

// ---- Splitting -------------------------------------------------------------------

TEST(SplitPackedArchive, EveryCutInsideARecordEndsEarlyAndEveryCutBetweenRecordsIsComplete) {
  Bytes first = record("WebView2Loader.dll", "loader");
  Bytes second = record("vestrana.exe", "app");
  Bytes archive = concat({first, second});
  for (size_t cut = 0; cut <= archive.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    auto result = split_packed_archive(std::span(archive.data(), cut));
    if (cut == 0) {
      ASSERT_TRUE(result.ok());
      EXPECT_TRUE(result->empty());
    } else if (cut == first.size()) {
      ASSERT_TRUE(result.ok());
      EXPECT_THAT(names_of(*result), ElementsAre("WebView2Loader.dll"));
    } else if (cut == archive.size()) {
      ASSERT_TRUE(result.ok());
      EXPECT_THAT(names_of(*result), ElementsAre("WebView2Loader.dll", "vestrana.exe"));
      EXPECT_EQ((*result)[0].data, bytes_of("loader"));
      EXPECT_EQ((*result)[1].data, bytes_of("app"));
    } else {
      EXPECT_EQ(failure_of(result), "the packed app ends early");
    }
  }
}

TEST(SplitPackedArchive, HugeLengthsEndEarlyInsteadOfAllocating) {
  Bytes huge_name;
  put_le(huge_name, 0xFFFFFFFFu, 4);
  Bytes huge_data = record("app.exe", "");
  huge_data.resize(huge_data.size() - 8);
  put_le(huge_data, UINT64_MAX, 8);
  for (const Bytes& archive : {huge_name, huge_data}) {
    EXPECT_EQ(failure_of(split_packed_archive(archive)), "the packed app ends early");
  }
}

TEST(SplitPackedArchive, KeepsDuplicateNamesAndEmptyFilesInOrder) {
  Bytes archive = concat({record("app.exe", "one"), record("empty.dat", ""), record("app.exe", "two")});
  auto result = split_packed_archive(archive);
  ASSERT_TRUE(result.ok());
  EXPECT_THAT(names_of(*result), ElementsAre("app.exe", "empty.dat", "app.exe"));
  EXPECT_EQ((*result)[0].data, bytes_of("one"));
  EXPECT_TRUE((*result)[1].data.empty());
  EXPECT_EQ((*result)[2].data, bytes_of("two"));
}

TEST(SplitPackedArchive, AcceptsBareNamesInAnyScript) {
  for (std::string_view name : {"vestrana.exe", "a", "Ünïcødé Ñame.dll", "日本語.txt", "emoji😀.bin", "a.b.c"}) {
    auto result = split_packed_archive(record(name, "x"));
    ASSERT_TRUE(result.ok()) << name << ": " << result.failure_text();
    EXPECT_EQ((*result)[0].name, name);
  }
}

// A refused name and how the refusal quotes it; a name that is not UTF-8 has
// no quoted form and is refused with one fixed text instead.
struct RejectedName {
  std::string name;
  const char* quoted = nullptr;
  friend void PrintTo(const RejectedName& c, std::ostream* os) { *os << ::testing::PrintToString(c.name); }
};

class SplitRejectsName : public ::testing::TestWithParam<RejectedName> {};

TEST_P(SplitRejectsName, WithTheFixedText) {
  // The bad record comes second: nothing of the first one may survive either.
  Bytes archive = concat({record("good.exe", "x"), record(GetParam().name, "data")});
  const char* quoted = GetParam().quoted;
  EXPECT_EQ(failure_of(split_packed_archive(archive)),
            quoted ? "unexpected file name " + std::string(quoted) + " in the packed app"
                   : "a file name in the packed app is not text");
}

INSTANTIATE_TEST_SUITE_P(Names, SplitRejectsName,
                         ::testing::Values(RejectedName{"", R"("")"}, RejectedName{"..", R"("..")"},
                                           RejectedName{".", R"(".")"}, RejectedName{".hidden", R"(".hidden")"},
                                           RejectedName{"sub/app.exe", R"("sub/app.exe")"},
                                           RejectedName{"sub\\app.exe", R"("sub\\app.exe")"},
                                           RejectedName{"C:app.exe", R"("C:app.exe")"},
                                           RejectedName{"app.exe:stream", R"("app.exe:stream")"},
                                           RejectedName{"app.exe\\", R"("app.exe\\")"},
                                           RejectedName{std::string(".\x01\n", 3), R"(".\u{1}\n")"},
                                           RejectedName{std::string("a\0/b", 4), R"("a\0/b")"},
                                           // Rule 1 is checked before the others.
                                           RejectedName{"\xff/app"},  // a byte UTF-8 never uses, then a separator
                                           RejectedName{"app\xff"},  // the same byte last
                                           RejectedName{"app\xc3"},  // sequence cut short
                                           RejectedName{"\xc0\xae"},  // overlong "."
                                           RejectedName{"\xe0\x80\xae"},  // overlong "."
                                           RejectedName{"\xed\xa0\x80.dll"},  // UTF-16 surrogate
                                           RejectedName{"\xf4\x90\x80\x80"},  // above U+10FFFF
                                           RejectedName{"\x80"}));  // lone continuation byte

// ---- Quoted form -------------------------------------------------------------------

TEST(QuoteFileName, EscapesWhatWouldNotShowOrWouldConfuse) {
  struct Case {
    std::string name, quoted;
  };
  const Case cases[] = {
      {"", R"("")"},
      {"app.exe", R"("app.exe")"},
      {"say \"hi\"", R"("say \"hi\"")"},
      {"a\\b", R"("a\\b")"},
      {std::string("\0\t\r\n", 4), R"("\0\t\r\n")"},
      {"\x01\x1f\x7f", R"("\u{1}\u{1f}\u{7f}")"},
      {"\xc2\x80\xc2\x9f", R"("\u{80}\u{9f}")"},  // C1 controls
      {"a\xc2\xa0"
       "b",
       R"("a\u{a0}b")"},  // no-break space
      {"\xe2\x80\x8b\xe2\x80\xae", R"("\u{200b}\u{202e}")"},  // zero width, right-to-left override
      {"\xef\xbb\xbf", R"("\u{feff}")"},
      {"\xee\x80\x80", R"("\u{e000}")"},  // private use
      {"\xef\xbf\xbf", R"("\u{ffff}")"},  // noncharacter
      {"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80", "\"caf\xc3\xa9 \xe6\x97\xa5 \xf0\x9f\x98\x80\""},
      {"a\xff"
       "b",
       "\"a\xef\xbf\xbd"
       "b\""},  // not UTF-8: shown as U+FFFD
  };
  for (const Case& c : cases) EXPECT_EQ(quote_file_name(c.name), c.quoted) << c.quoted;
}

// ---- Decoding -------------------------------------------------------------------

class UnpackAcceptsCheck : public ::testing::TestWithParam<lzma_check> {};

TEST_P(UnpackAcceptsCheck, AndReturnsTheRecords) {
  Bytes archive = concat({record("WebView2Loader.dll", "loader bytes"), record("vestrana.exe", "app bytes")});
  auto result = unpack_packed_app(xz(archive, GetParam()));
  ASSERT_TRUE(result.ok()) << result.failure_text();
  EXPECT_THAT(names_of(*result), ElementsAre("WebView2Loader.dll", "vestrana.exe"));
  EXPECT_EQ((*result)[1].data, bytes_of("app bytes"));
}

INSTANTIATE_TEST_SUITE_P(Checks, UnpackAcceptsCheck,
                         ::testing::Values(LZMA_CHECK_NONE, LZMA_CHECK_CRC32, LZMA_CHECK_CRC64));

TEST(UnpackPackedApp, AcceptsManyBlocksAndOutputFarLargerThanTheInput) {
  // Megabytes of zeros pack into a few hundred bytes: the output buffer has
  // to grow many times over its first guess, across block boundaries.
  Bytes big(2 << 20, 0);
  big[12345] = 7;
  big.back() = 9;
  Bytes archive = concat({record("zeros.bin", std::string_view(reinterpret_cast<const char*>(big.data()), big.size())),
                          record("tail.txt", "end")});
  Bytes packed = xz(archive, LZMA_CHECK_CRC32, 512 << 10);
  ASSERT_LT(packed.size(), 64u << 10);
  auto result = unpack_packed_app(packed);
  ASSERT_TRUE(result.ok()) << result.failure_text();
  ASSERT_EQ(result->size(), 2u);
  EXPECT_TRUE((*result)[0].data == big);
  EXPECT_EQ((*result)[1].data, bytes_of("end"));
}

TEST(UnpackPackedApp, EmptyArchiveGivesNoEntries) {
  auto result = unpack_packed_app(xz({}));
  ASSERT_TRUE(result.ok()) << result.failure_text();
  EXPECT_TRUE(result->empty());
}

// Each refusal names its cause: the splitter's texts pass on unchanged, the
// decoder's common damage and anything after the stream have their own.
TEST(UnpackPackedApp, RefusesWithTheTellingText) {
  Bytes packed = xz(record("app.exe", "contents"));
  Bytes wrong_magic = packed;
  wrong_magic[0] = 'X';
  Bytes cut = record("app.exe", "contents");
  cut.pop_back();
  const std::string truncated = "the packed app is damaged (compressed data is truncated)";
  const std::string after_end = "the packed app is damaged (unexpected data after the end of the stream)";
  struct Case {
    const char* what;
    Bytes bytes;
    std::string text;
  };
  const Case cases[] = {
      {"a name the splitter refuses", xz(record("../evil.exe", "x")),
       R"(unexpected file name "../evil.exe" in the packed app)"},
      {"records cut short", xz(cut), "the packed app ends early"},
      {"wrong magic", wrong_magic, "the packed app is damaged (not an xz stream)"},
      {"stream cut short", Bytes(packed.begin(), packed.end() - 1), truncated},
      {"no bytes", {}, truncated},
      {"a byte after the stream", concat({packed, bytes_of("x")}), after_end},
      {"stream padding", concat({packed, Bytes(4, 0)}), after_end},
      {"a second stream", concat({packed, packed}), after_end},
  };
  for (const Case& c : cases) EXPECT_EQ(failure_of(unpack_packed_app(c.bytes)), c.text) << c.what;
}

// The decoder's description fills the placeholder: one line, not empty.
void expect_damaged(const Expected<std::vector<PackedEntry>>& result) {
  ASSERT_FALSE(result.ok());
  const std::string& text = result.failure_text();
  EXPECT_THAT(text, StartsWith("the packed app is damaged ("));
  ASSERT_GT(text.size(), std::string("the packed app is damaged ()").size());
  EXPECT_EQ(text.back(), ')');
  EXPECT_EQ(text.find('\n'), std::string::npos);
}

TEST(UnpackPackedApp, AnyFlippedByteIsDamage) {
  Bytes packed = xz(concat({record("a.dll", "some library bytes"), record("b.exe", "program bytes here")}));
  for (size_t i = 0; i < packed.size(); ++i) {
    for (uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}}) {
      SCOPED_TRACE("byte " + std::to_string(i) + " xor " + std::to_string(flip));
      Bytes damaged = packed;
      damaged[i] ^= flip;
      expect_damaged(unpack_packed_app(damaged));
    }
  }
}

TEST(UnpackPackedApp, RefusesACheckItCannotVerify) {
  // Check ID 2 is reserved (4 bytes wide like CRC32): the data could be
  // decoded, but not verified, so it is not trusted.
  Bytes packed = xz(record("app.exe", "contents"), LZMA_CHECK_CRC32);
  packed[7] = 0x02;  // stream flags: 0x00, check ID
  put_crc32(packed, 8, 6, 2);
  // Footer: CRC32 (4) | backward size (4) | flags (2) | "YZ"; its CRC covers size and flags.
  size_t footer = packed.size() - 12;
  packed[footer + 9] = 0x02;
  put_crc32(packed, footer, footer + 4, 6);

  EXPECT_THAT(failure_of(unpack_packed_app(packed)), HasSubstr("integrity check"));
}

}  // namespace
}  // namespace vestrana
