#include "base/text.h"

#include <gtest/gtest.h>

#include <string>

namespace vestrana {
namespace {

const std::string kFffd = "\xEF\xBF\xBD";

struct Utf16Case {
  const char* name;
  std::u16string utf16;
  std::string utf8;
};

class WellFormedText : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(WellFormedText, RoundTripsBothWays) {
  const auto& c = GetParam();
  EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8);
  EXPECT_EQ(utf8_to_utf16(c.utf8), c.utf16);
  EXPECT_EQ(utf16_to_utf8_strict(c.utf16), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Utf16, WellFormedText,
    ::testing::Values(Utf16Case{"empty", u"", ""}, Utf16Case{"ascii", u"C:\\Users\\a b", "C:\\Users\\a b"},
                      Utf16Case{"embedded_nul", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
                      Utf16Case{"two_byte_edges", u"\u0080\u00FC\u07FF", "\xC2\x80\xC3\xBC\xDF\xBF"},
                      Utf16Case{"three_byte_edges", u"\u0800\u2026\uD7FF\uE000\uFFFD\uFFFF",
                                "\xE0\xA0\x80\xE2\x80\xA6\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBD\xEF\xBF\xBF"},
                      Utf16Case{"supplementary_edges", u"\U00010000\U0001F600\U0010FFFF",
                                "\xF0\x90\x80\x80\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"}),
    [](const auto& info) { return std::string(info.param.name); });

class IllFormedUtf16 : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(IllFormedUtf16, ReplacesEachLoneSurrogateAndFailsStrictly) {
  const auto& c = GetParam();
  EXPECT_EQ(utf16_to_utf8(c.utf16), c.utf8);
  EXPECT_EQ(utf16_to_utf8_strict(c.utf16), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Utf16, IllFormedUtf16,
                         ::testing::Values(Utf16Case{"lone_high_at_end", {u'a', char16_t(0xD800)}, "a" + kFffd},
                                           Utf16Case{"lone_low", {char16_t(0xDC00), u'b'}, kFffd + "b"},
                                           Utf16Case{"high_then_ascii", {char16_t(0xDBFF), u'x'}, kFffd + "x"},
                                           Utf16Case{"two_highs_then_low",
                                                     {char16_t(0xD800), char16_t(0xD83D), char16_t(0xDE00)},
                                                     kFffd + "\xF0\x9F\x98\x80"},
                                           Utf16Case{
                                               "reversed_pair", {char16_t(0xDC00), char16_t(0xD800)}, kFffd + kFffd}),
                         [](const auto& info) { return std::string(info.param.name); });

struct Utf8Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

class IllFormedUtf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(IllFormedUtf8, ReplacesEachMaximalSubpart) { EXPECT_EQ(utf8_to_utf16(GetParam().utf8), GetParam().utf16); }

INSTANTIATE_TEST_SUITE_P(
    Utf8, IllFormedUtf8,
    ::testing::Values(Utf8Case{"stray_continuation", "a\x80z", u"a\uFFFDz"},
                      Utf8Case{"truncated_two_byte_at_end", "a\xC3", u"a\uFFFD"},
                      Utf8Case{"truncated_three_byte_then_ascii", "\xE2\x80z", u"\uFFFDz"},
                      Utf8Case{"truncated_four_byte_then_lead", "\xF0\x9F\x98\xC3\xBC", u"\uFFFD\u00FC"},
                      Utf8Case{"overlong_two_byte", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      Utf8Case{"overlong_three_byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"overlong_four_byte", "\xF0\x8F\xBF\xBF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"encoded_surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"above_max", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      Utf8Case{"f5_lead", "\xF5\x80", u"\uFFFD\uFFFD"}, Utf8Case{"ff_byte", "\xFF", u"\uFFFD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf16, EveryScalarValueSurvivesTheRoundTrip) {
  std::u16string all;
  for (uint32_t cp = 0; cp < 0x110000; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all += static_cast<char16_t>(cp);
    } else {
      all += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      all += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
  }
  auto utf8 = utf16_to_utf8_strict(all);
  ASSERT_TRUE(utf8.has_value());
  EXPECT_EQ(utf8_to_utf16(*utf8), all);
}

}  // namespace
}  // namespace vestrana
