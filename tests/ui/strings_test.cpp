#include "ui/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "system/os_error.h"

namespace vestrana {
namespace {

const LanguageCode kAllCodes[] = {{{'e', 'n'}}, {{'d', 'e'}}, {{'f', 'r'}}, {{'e', 's'}}, {{'i', 't'}}, {{'t', 'r'}}};

// Every table: 30 texts, each non-empty valid UTF-8, placeholders spelt the
// way the fill operations look for them, and the shared typography.
TEST(StringTables, EveryTableIsComplete) {
  for (LanguageCode code : kAllCodes) {
    SCOPED_TRACE(std::string(code.text()));
    const StringTable& table = table_for(code);
    for (size_t i = 0; i < kStringCount; ++i) {
      std::string_view text = table.texts[i];
      EXPECT_FALSE(text.empty()) << i;
      EXPECT_EQ(utf8_to_utf16(text).find(u'\uFFFD'), std::u16string::npos) << i;
      EXPECT_EQ(text.find("\xC2\xA0"), std::string_view::npos) << "no-break space in " << i;
      EXPECT_EQ(text.find('{') != std::string_view::npos, i == static_cast<size_t>(StringId::Subtitle) ||
                                                              i == static_cast<size_t>(StringId::UpdateFrom) ||
                                                              i == static_cast<size_t>(StringId::ErrorWriteFiles))
          << i;
    }
    EXPECT_NE(table[StringId::Subtitle].find(" \xC2\xB7 "), std::string_view::npos);
    EXPECT_NE(table[StringId::Subtitle].find("{version}"), std::string_view::npos);
    EXPECT_NE(table[StringId::UpdateFrom].find("{old}"), std::string_view::npos);
    EXPECT_NE(table[StringId::ErrorWriteFiles].find("({detail})"), std::string_view::npos);
    for (StringId id : {StringId::StepClosingApp, StringId::StepCopyingFiles, StringId::StepWebView2,
                        StringId::StepShortcuts, StringId::StepAlmostDone, StringId::StepRemoving}) {
      std::string_view text = table[id];
      EXPECT_TRUE(text.size() > 4 && text.substr(text.size() - 4) == " \xE2\x80\xA6") << text;
      EXPECT_NE(text[text.size() - 5], ' ') << text;
    }
  }
}

TEST(StringTables, ApostrophesAreTypographic) {
  for (LanguageCode code : kAllCodes) {
    for (std::string_view text : table_for(code).texts) EXPECT_EQ(text.find('\''), std::string_view::npos) << text;
  }
}

struct LangCase {
  uint16_t langid;
  const char* code;
};

class LanguageForLangid : public ::testing::TestWithParam<LangCase> {};

TEST_P(LanguageForLangid, UsesThePrimaryLanguageOnly) {
  EXPECT_EQ(language_for_langid(GetParam().langid).text(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Strings, LanguageForLangid,
                         ::testing::Values(LangCase{0x0407, "de"}, LangCase{0x0807, "de"}, LangCase{0x0C07, "de"},
                                           LangCase{0x040C, "fr"}, LangCase{0x0C0C, "fr"}, LangCase{0x040A, "es"},
                                           LangCase{0x080A, "es"}, LangCase{0x0410, "it"}, LangCase{0x0810, "it"},
                                           LangCase{0x041F, "tr"}, LangCase{0x0409, "en"}, LangCase{0x0809, "en"},
                                           LangCase{0x0411, "en"}, LangCase{0x0416, "en"}, LangCase{0x0804, "en"},
                                           LangCase{0x0000, "en"}, LangCase{0xFFFF, "en"}, LangCase{0xFC07, "de"},
                                           LangCase{0x0417, "en"} /* 0x17 is not 0x07 with a stray bit */));

TEST(TableFor, MatchesCodesInAnyCaseAndFallsBackToEnglish) {
  const StringTable& en = table_for({{'e', 'n'}});
  EXPECT_EQ(en[StringId::ButtonInstall], "Install");
  EXPECT_EQ(table_for({{'D', 'E'}})[StringId::ButtonInstall], "Installieren");
  EXPECT_EQ(table_for({{'F', 'r'}})[StringId::ButtonInstall], "Installer");
  EXPECT_EQ(table_for({{'e', 'S'}})[StringId::ButtonInstall], "Instalar");
  EXPECT_EQ(table_for({{'i', 't'}})[StringId::ButtonInstall], "Installa");
  EXPECT_EQ(table_for({{'T', 'R'}})[StringId::ButtonInstall], "Kur");
  // Neighbouring letters of the packed code run must not match ("ef", "sf").
  for (LanguageCode other :
       {LanguageCode{{'e', 'f'}}, LanguageCode{{'s', 'i'}}, LanguageCode{{'p', 't'}}, LanguageCode{{'\0', '\0'}}}) {
    EXPECT_EQ(&table_for(other), &en) << other.text();
  }
}

TEST(FillVersion, SubtitleAndBadge) {
  const StringTable& en = table_for({{'e', 'n'}});
  EXPECT_EQ(fill_version(en[StringId::Subtitle], "1.2.1", ""), "Desktop app for Windows \xC2\xB7 Version 1.2.1");
  EXPECT_EQ(fill_version(en[StringId::UpdateFrom], "1.2.1", ""), "Update from version ");
  EXPECT_EQ(fill_version(table_for({{'t', 'r'}})[StringId::UpdateFrom], "", "1.0.3"),
            "1.0.3 s\xC3\xBCr\xC3\xBCm\xC3\xBCnden g\xC3\xBCncelleme");
}

struct FillCase {
  const char* name;
  const char* templ;
  const char* version;
  const char* old;
  const char* expected;
};

class FillVersionPasses : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillVersionPasses, ReplacesLeftToRight) {
  const auto& c = GetParam();
  EXPECT_EQ(fill_version(c.templ, c.version, c.old), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, FillVersionPasses,
    ::testing::Values(FillCase{"no_placeholder_unchanged", "plain {Version} {olD}", "1", "0", "plain {Version} {olD}"},
                      FillCase{"every_occurrence", "{version}-{old}-{version}{old}", "V", "O", "V-O-VO"},
                      FillCase{"version_holding_old_is_filled_again", "x {version}", "{old}!", "9", "x 9!"},
                      FillCase{"old_holding_version_is_not", "x {old}", "1", "{version}", "x {version}"},
                      FillCase{"inserted_text_not_rescanned", "{ver{version}", "sion}", "", "{version}"},
                      FillCase{"empty_template", "", "1", "2", ""},
                      FillCase{"adjacent_markers", "{version}{version}", "{", "", "{{"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FillDetail, UsesTheErrorDescription) {
  const StringTable& en = table_for({{'e', 'n'}});
  EXPECT_EQ(fill_detail(en[StringId::ErrorWriteFiles], OsError{"Access is denied.", 5}),
            "The files could not be written (Access is denied. (os error 5)).");
  EXPECT_EQ(fill_detail(en[StringId::ErrorWriteFiles], OsError{"the disk is full", std::nullopt}),
            "The files could not be written (the disk is full).");
  EXPECT_EQ(fill_detail("{detail}/{detail}", OsError{"{detail}", 0}), "{detail} (os error 0)/{detail} (os error 0)");
  EXPECT_EQ(fill_detail("no marker", OsError{"x", 1}), "no marker");
}

TEST(StepLabel, MapsEachStepToItsText) {
  const std::pair<Step, StringId> cases[] = {
      {Step::ClosingApp, StringId::StepClosingApp},  {Step::CopyingFiles, StringId::StepCopyingFiles},
      {Step::WebView2Setup, StringId::StepWebView2}, {Step::Shortcuts, StringId::StepShortcuts},
      {Step::Finishing, StringId::StepAlmostDone},   {Step::Removing, StringId::StepRemoving}};
  for (auto [step, id] : cases) EXPECT_EQ(step_label(step), id);
}

}  // namespace
}  // namespace vestrana
