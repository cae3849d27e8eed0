#include "command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using Words = std::vector<std::string>;

// A command line and what it gives.
template <class Want>
struct LineCase {
  const char* name;
  std::string line;
  Want want;
};
using SplitCase = LineCase<Words>;

class SplitCommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLine, GivesTheWords) { EXPECT_EQ(split_command_line(GetParam().line), GetParam().want); }

// Arguments after the program path.
INSTANTIATE_TEST_SUITE_P(
    Arguments, SplitCommandLine,
    ::testing::Values(SplitCase{"blanks_and_tabs_separate", "p  a\t\tb \t", {"p", "a", "b"}},
                      SplitCase{"quoted_blank", R"(p "a b" c)", {"p", "a b", "c"}},
                      SplitCase{"quotes_inside_a_word", R"(p a"b c"d)", {"p", "ab cd"}},
                      SplitCase{"empty_quoted_word", R"(p "" x "")", {"p", "", "x", ""}},
                      SplitCase{"unterminated_quote_runs_to_end", R"(p "a b)", {"p", "a b"}},
                      SplitCase{"zero_backslashes_one_quote_n0_odd", R"(p \"a)", {"p", "\"a"}},
                      SplitCase{"two_backslashes_then_opening_quote", R"(p \\"a b")", {"p", "\\a b"}},
                      SplitCase{"three_backslashes_literal_quote", R"(p \\\"a b)", {"p", "\\\"a", "b"}},
                      SplitCase{"four_backslashes_then_opening_quote", R"(p \\\\"a b")", {"p", "\\\\a b"}},
                      SplitCase{"five_backslashes_literal_quote", R"(p \\\\\"a)", {"p", "\\\\\"a"}},
                      SplitCase{"backslashes_without_quote_literal", R"(p a\\b\ c\\\)", {"p", "a\\\\b\\", "c\\\\\\"}},
                      SplitCase{"unc_path_literal", R"(p \\server\share)", {"p", "\\\\server\\share"}},
                      SplitCase{"two_backslashes_close_quoted_folder", R"(p "C:\a b\\" x)", {"p", "C:\\a b\\", "x"}},
                      SplitCase{
                          "one_backslash_before_closing_quote_escapes_it", R"(p "C:\a b\" x)", {"p", "C:\\a b\" x"}},
                      SplitCase{"doubled_quote_inside_stretch", R"(p "a""b")", {"p", "a\"b"}},
                      SplitCase{"doubled_quote_keeps_stretch_open", R"(p "a""b c" d)", {"p", "a\"b c", "d"}},
                      SplitCase{"four_quotes_one_literal", R"(p """")", {"p", "\""}},
                      SplitCase{"escaped_quote_inside_stretch", R"(p "a\"b c")", {"p", "a\"b c"}},
                      SplitCase{"even_backslashes_then_doubled_quote", R"(p "a\\""b")", {"p", "a\\\"b"}},
                      SplitCase{"non_ascii_untouched",
                                "p \"C:\\Benutzer\\J\xC3\xBCrgen \xE2\x80\xA6\"",
                                {"p", "C:\\Benutzer\\J\xC3\xBCrgen \xE2\x80\xA6"}}),
    [](const auto& info) { return std::string(info.param.name); });

// The program path has rules of its own.
INSTANTIATE_TEST_SUITE_P(
    ProgramPath, SplitCommandLine,
    ::testing::Values(
        SplitCase{"empty_line_no_words", "", {}},
        SplitCase{"plain", R"(C:\dir\setup.exe --silent)", {"C:\\dir\\setup.exe", "--silent"}},
        SplitCase{"quoted_with_blank", R"("C:\Program Files\setup.exe" a)", {"C:\\Program Files\\setup.exe", "a"}},
        SplitCase{"backslash_before_quote_is_literal", R"("C:\my dir\" --silent)", {"C:\\my dir\\", "--silent"}},
        SplitCase{"odd_backslashes_do_not_escape", R"(\"a b)", {"\\a b"}},
        SplitCase{"doubled_quote_only_toggles", R"(a""b c)", {"ab", "c"}},
        SplitCase{"quotes_toggle_mid_word", R"(set"up x"y z)", {"setup xy", "z"}},
        SplitCase{"leading_blank_gives_empty_program", " --silent", {"", "--silent"}},
        SplitCase{"unterminated_quote_takes_everything", R"("C:\a b --silent)", {"C:\\a b --silent"}},
        SplitCase{"tab_ends_program", "p\t--dir\tx", {"p", "--dir", "x"}}),
    [](const auto& info) { return std::string(info.param.name); });

using ParseCase = LineCase<LaunchOptions>;

class ParseCommandLine : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLine, ReadsTheFlags) { EXPECT_EQ(parse_command_line(GetParam().line), GetParam().want); }

LaunchOptions opts(bool uninstall, bool from_temp, bool silent, std::optional<std::string> dir = std::nullopt,
                   std::optional<std::string> log = std::nullopt) {
  LaunchOptions options;
  options.uninstall_flag = uninstall;
  options.from_temp = from_temp;
  options.silent = silent;
  options.dir = std::move(dir);
  options.log = std::move(log);
  return options;
}

// The cleanup helper's flags: --after for each process, --copy for its file.
LaunchOptions helper(std::vector<uint64_t> after, std::optional<std::string> copy,
                     std::optional<std::string> dir = std::nullopt) {
  LaunchOptions options = opts(false, false, false, std::move(dir));
  options.cleanup = true;
  options.after = std::move(after);
  options.copy = std::move(copy);
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Flags, ParseCommandLine,
    ::testing::Values(
        ParseCase{"empty_line", "", opts(false, false, false)},
        ParseCase{"no_arguments", "setup.exe", opts(false, false, false)},
        ParseCase{"all_flags", "s --uninstall --from-temp --silent --dir C:\\x", opts(true, true, true, "C:\\x")},
        ParseCase{"other_case_flags", "s --UNINSTALL --From-Temp --SiLeNt", opts(true, true, true)},
        ParseCase{"slash_s_lower", "s /s", opts(false, false, true)},
        ParseCase{"slash_s_upper_quoted", "s \"/S\"", opts(false, false, true)},
        ParseCase{"flags_anywhere_with_noise", "s foo --silent bar --uninstall", opts(true, false, true)},
        ParseCase{"near_misses_ignored", "s --uninstallx -uninstall /Silent /SS --silent= -S --",
                  opts(false, false, false)},
        ParseCase{"non_ascii_case_not_folded", "s --s\xC4\xB0LENT", opts(false, false, false)},
        ParseCase{"program_path_is_not_a_flag", "--uninstall --silent", opts(false, false, true)},
        ParseCase{"dir_upper_case_is_ignored", "s --DIR C:\\x", opts(false, false, false)},
        ParseCase{"dir_last_word_gives_none", "s --silent --dir", opts(false, false, true)},
        ParseCase{"dir_takes_a_flag_and_flag_still_counts", "s --dir --silent", opts(false, false, true, "--silent")},
        ParseCase{"dir_first_occurrence_wins", "s --dir a --dir b", opts(false, false, false, "a")},
        ParseCase{"dir_value_dir", "s --dir --dir b", opts(false, false, false, "--dir")},
        ParseCase{"dir_quoted_with_blanks", R"(s --uninstall --dir "C:\Users\A B\AppData\Local\vestrana")",
                  opts(true, false, false, "C:\\Users\\A B\\AppData\\Local\\vestrana")},
        ParseCase{"dir_empty_word", R"(s --dir "")", opts(false, false, false, "")},
        ParseCase{"log_next_word", R"(s --silent --log "C:\logs\setup 1.log")",
                  opts(false, false, true, std::nullopt, "C:\\logs\\setup 1.log")},
        ParseCase{"log_other_case", "s --LOG a.log", opts(false, false, false, std::nullopt, "a.log")},
        ParseCase{"log_slash_spelling", "s /LOG=C:\\l.txt /S", opts(false, false, true, std::nullopt, "C:\\l.txt")},
        ParseCase{"log_slash_lower_quoted_value", R"(s /log="C:\my logs\l.txt")",
                  opts(false, false, false, std::nullopt, "C:\\my logs\\l.txt")},
        ParseCase{"log_first_occurrence_wins", "s /LOG=a --log b", opts(false, false, false, std::nullopt, "a")},
        ParseCase{"log_takes_a_flag_and_flag_still_counts", "s --log --silent",
                  opts(false, false, true, std::nullopt, "--silent")},
        ParseCase{"log_last_word_gives_none", "s --silent --log", opts(false, false, true)},
        ParseCase{"log_empty_gives_none", R"(s /LOG= --log "")", opts(false, false, false)},
        ParseCase{"log_near_misses_ignored", "s /LOG /LOGFILE=x -log x --logx y", opts(false, false, false)},
        ParseCase{"helper_flags",
                  R"(h --CLEANUP --after 88 --after 18446744073709551615 --copy "C:\T\a b.exe" --dir d)",
                  helper({88, UINT64_MAX}, "C:\\T\\a b.exe", "d")},
        // Only a decimal number that fits 64 bits is a handle value.
        ParseCase{"after_values_not_decimal_ignored",
                  "h --cleanup --after 18446744073709551616 --after 0x58 --after -1 --after \"\" --after",
                  helper({}, std::nullopt)},
        ParseCase{"copy_first_occurrence_wins", "h --cleanup --copy a --copy b --COPY c", helper({}, "a")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuoteArgument, LeavesPlainWordsAloneAndQuotesTheRest) {
  EXPECT_EQ(quote_argument("--uninstall"), "--uninstall");
  EXPECT_EQ(quote_argument("C:\\dir\\"), "C:\\dir\\");
  EXPECT_EQ(quote_argument(""), "\"\"");
  EXPECT_EQ(quote_argument("C:\\a b\\"), "\"C:\\a b\\\\\"");
  EXPECT_EQ(quote_argument("a\"b"), "\"a\\\"b\"");
}

// Every word built from the characters that matter to the rules (blank, tab,
// quote, backslash and an ordinary letter), up to six long, must come back
// unchanged, next to a neighbour that must not be disturbed.
TEST(QuoteArgument, EveryShortWordSurvivesTheSplit) {
  const std::string alphabet = "a \t\"\\";
  std::vector<std::string> words = {""};
  for (size_t begin = 0, length = 0; length < 6; ++length) {
    size_t end = words.size();
    for (size_t k = begin; k < end; ++k) {
      for (char c : alphabet) words.push_back(words[k] + c);
    }
    begin = end;
  }
  for (const std::string& word : words) {
    std::string line = build_command_line("C:\\t\\setup.exe", {word, "--silent"});
    ASSERT_THAT(split_command_line(line), ElementsAre("C:\\t\\setup.exe", word, "--silent")) << line;
  }
}

TEST(BuildCommandLine, RelaunchLineReadsBackAsTheSameOptions) {
  const std::string program = "C:\\Users\\Ann Lee\\AppData\\Local\\Temp\\vestrana-uninstall-42.exe";
  const std::string folder = "C:\\Users\\Ann Lee\\AppData\\Local\\vestrana\\";
  std::string line = build_command_line(program, {"--uninstall", "--from-temp", "--dir", folder, "--silent"});
  EXPECT_THAT(split_command_line(line),
              ElementsAre(program, "--uninstall", "--from-temp", "--dir", folder, "--silent"));
  EXPECT_EQ(parse_command_line(line), opts(true, true, true, folder));
}

TEST(BuildCommandLine, ProgramPathWithTrailingBackslashOrQuoteStaysOneWord) {
  EXPECT_THAT(split_command_line(build_command_line("C:\\a b\\", {"x"})), ElementsAre("C:\\a b\\", "x"));
  EXPECT_THAT(split_command_line(build_command_line("C:\\a\"b c", {"x"})), ElementsAre("C:\\ab c", "x"));
  EXPECT_THAT(split_command_line(build_command_line("C:\\a", {})), ElementsAre("C:\\a"));
}

}  // namespace
}  // namespace vestrana
