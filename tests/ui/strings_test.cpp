#include "ui/strings.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "system/os_error.h"

namespace vestrana {
namespace {

const LanguageCode kAllCodes[] = {{{'e', 'n'}}, {{'d', 'e'}}, {{'f', 'r'}}, {{'e', 's'}}, {{'i', 't'}}, {{'t', 'r'}}};

struct EnglishCase {
  StringId id;
  const char* text;
  size_t bytes;
};

class EnglishTable : public ::testing::TestWithParam<EnglishCase> {};

TEST_P(EnglishTable, TextAndByteLength) {
  const auto& c = GetParam();
  std::string_view text = string_for(table_for(LanguageCode{{'e', 'n'}}), c.id);
  EXPECT_EQ(text, c.text);
  EXPECT_EQ(text.size(), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, EnglishTable,
    ::testing::Values(
        EnglishCase{StringId::SetupTitle, "vestrana Setup", 14},
        EnglishCase{StringId::RemoveTitle, "Remove vestrana", 15},
        EnglishCase{StringId::Subtitle, "Desktop app for Windows \xC2\xB7 Version {version}", 44},
        EnglishCase{StringId::UpdateFrom, "Update from version {old}", 25},
        EnglishCase{StringId::OptionDesktopShortcut, "Shortcut on the desktop", 23},
        EnglishCase{StringId::OptionAutostart, "Start with Windows, in the notification area", 44},
        EnglishCase{StringId::ButtonInstall, "Install", 7},
        EnglishCase{StringId::ButtonUpdate, "Update", 6},
        EnglishCase{StringId::StepClosingApp, "Closing vestrana \xE2\x80\xA6", 20},
        EnglishCase{StringId::StepCopyingFiles, "Copying files \xE2\x80\xA6", 17},
        EnglishCase{StringId::StepWebView2, "Setting up Microsoft WebView2 \xE2\x80\xA6", 33},
        EnglishCase{StringId::StepShortcuts, "Creating shortcuts \xE2\x80\xA6", 22},
        EnglishCase{StringId::StepAlmostDone, "Almost done \xE2\x80\xA6", 15},
        EnglishCase{StringId::DoneTitle, "vestrana is ready.", 18},
        EnglishCase{StringId::DoneHint, "You will find it in the Start menu.", 35},
        EnglishCase{StringId::ButtonOpen, "Open vestrana", 13},
        EnglishCase{StringId::ButtonClose, "Close", 5},
        EnglishCase{StringId::ErrorTitle, "That did not work.", 18},
        EnglishCase{StringId::ButtonTryAgain, "Try again", 9},
        EnglishCase{StringId::RemoveQuestion, "Remove vestrana from this computer?", 35},
        EnglishCase{StringId::OptionDeleteData, "Also delete sign-in and settings", 32},
        EnglishCase{StringId::ButtonRemove, "Remove", 6},
        EnglishCase{StringId::StepRemoving, "Removing vestrana \xE2\x80\xA6", 21},
        EnglishCase{StringId::RemovedTitle, "vestrana has been removed.", 26},
        EnglishCase{StringId::RemovedHint, "Your account and your posts stay on the server.", 47},
        EnglishCase{StringId::ErrorNoPayload, "This setup file contains no app. Please download it again.", 58},
        EnglishCase{StringId::ErrorWebView2, "Microsoft WebView2 could not be set up. Please check the internet connection.", 77},
        EnglishCase{StringId::ErrorWriteFiles, "The files could not be written ({detail}).", 42},
        EnglishCase{StringId::ErrorAlreadyRunning, "The setup is already running.", 29},
        EnglishCase{StringId::ErrorLocalSystem,
                    "vestrana installs for one person. Run this setup from your own account, not as the system.", 90}
    ),
    [](const auto& info) { return std::to_string(static_cast<int>(info.param.id)); });

TEST(StringTables, IdsCoverTheWholeTable) {
  EXPECT_EQ(static_cast<size_t>(StringId::ShutdownReason) + 1, kStringCount);
  EXPECT_EQ(static_cast<int>(StringId::StepRemoving), 22);
  EXPECT_EQ(static_cast<int>(StringId::ErrorWriteFiles), 27);
}

// Every table: 31 texts, each non-empty valid UTF-8, placeholders spelt the
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
      EXPECT_EQ(text.find('{') != std::string_view::npos, i == 2 || i == 3 || i == 27) << i;
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

struct SpotCase {
  LanguageCode code;
  StringId id;
  const char* text;
};

class OtherTables : public ::testing::TestWithParam<SpotCase> {};

TEST_P(OtherTables, SpecialCharacters) {
  EXPECT_EQ(string_for(table_for(GetParam().code), GetParam().id), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, OtherTables,
    ::testing::Values(
        SpotCase{{{'d', 'e'}}, StringId::SetupTitle, "vestrana Setup"},
        SpotCase{{{'d', 'e'}}, StringId::ButtonClose, "Schlie\xC3\x9F" "en"},
        SpotCase{{{'d', 'e'}}, StringId::StepCopyingFiles, "Dateien werden kopiert \xE2\x80\xA6"},
        SpotCase{{{'f', 'r'}}, StringId::RemoveQuestion, "Supprimer vestrana de cet ordinateur ?"},
        SpotCase{{{'f', 'r'}}, StringId::ErrorTitle, "Cela n\xE2\x80\x99" "a pas march\xC3\xA9."},
        SpotCase{{{'f', 'r'}}, StringId::ErrorAlreadyRunning, "L\xE2\x80\x99installation est d\xC3\xA9j\xC3\xA0 en cours."},
        SpotCase{{{'e', 's'}}, StringId::RemoveQuestion, "\xC2\xBFQuitar vestrana de este equipo?"},
        SpotCase{{{'e', 's'}}, StringId::Subtitle, "App de escritorio para Windows \xC2\xB7 Versi\xC3\xB3n {version}"},
        SpotCase{{{'i', 't'}}, StringId::OptionDeleteData, "Elimina anche l\xE2\x80\x99" "accesso e le impostazioni"},
        SpotCase{{{'i', 't'}}, StringId::DoneTitle, "vestrana \xC3\xA8 pronto."},
        SpotCase{{{'t', 'r'}}, StringId::ButtonOpen, "vestrana\xE2\x80\x99yu a\xC3\xA7"},
        SpotCase{{{'t', 'r'}}, StringId::UpdateFrom, "{old} s\xC3\xBCr\xC3\xBCm\xC3\xBCnden g\xC3\xBCncelleme"},
        SpotCase{{{'t', 'r'}}, StringId::Subtitle,
                 "Windows i\xC3\xA7in masa\xC3\xBCst\xC3\xBC uygulamas\xC4\xB1 \xC2\xB7 S\xC3\xBCr\xC3\xBCm {version}"}));

struct LangCase {
  uint16_t langid;
  const char* code;
};

class LanguageForLangid : public ::testing::TestWithParam<LangCase> {};

TEST_P(LanguageForLangid, UsesThePrimaryLanguageOnly) {
  EXPECT_EQ(language_for_langid(GetParam().langid).text(), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Strings, LanguageForLangid,
    ::testing::Values(LangCase{0x0407, "de"}, LangCase{0x0807, "de"}, LangCase{0x0C07, "de"},
                      LangCase{0x040C, "fr"}, LangCase{0x0C0C, "fr"}, LangCase{0x040A, "es"},
                      LangCase{0x080A, "es"}, LangCase{0x0410, "it"}, LangCase{0x0810, "it"},
                      LangCase{0x041F, "tr"}, LangCase{0x0409, "en"}, LangCase{0x0809, "en"},
                      LangCase{0x0411, "en"}, LangCase{0x0416, "en"}, LangCase{0x0804, "en"},
                      LangCase{0x0000, "en"}, LangCase{0xFFFF, "en"}, LangCase{0xFC07, "de"},
                      LangCase{0x0417, "en"} /* 0x17 is not 0x07 with a stray bit */));

// The system's error texts are asked for in the language of the table the
// user's language picks: the user's own variant of it, or the home
// country's where the table is not the user's language (a Russian Windows
// gets the English table, and so US English messages first).
TEST(Strings, MessageLanguageFollowsTheTable) {
  struct Case {
    uint16_t user;
    LanguageCode table;
    uint16_t langid;
  };
  const Case cases[] = {
      {0x0807, {{'d', 'e'}}, 0x0807}, {0x0419, {{'e', 'n'}}, 0x0409}, {0x0411, {{'e', 'n'}}, 0x0409},
      {0x0809, {{'e', 'n'}}, 0x0809}, {0x080A, {{'e', 's'}}, 0x080A}, {0x0407, {{'f', 'r'}}, 0x040C},
      {0x0000, {{'t', 'r'}}, 0x041F}, {0x0409, {{'e', 's'}}, 0x0C0A}, {0x0410, {{'i', 't'}}, 0x0410},
      {0x0417, {{'e', 'n'}}, 0x0409},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(langid_for(c.table, c.user), c.langid) << std::hex << c.user << " " << c.table.text();
  }
}

TEST(TableFor, MatchesCodesInAnyCaseAndFallsBackToEnglish) {
  const StringTable& en = table_for({{'e', 'n'}});
  EXPECT_EQ(en[StringId::ButtonInstall], "Install");
  EXPECT_EQ(table_for({{'D', 'E'}})[StringId::ButtonInstall], "Installieren");
  EXPECT_EQ(table_for({{'F', 'r'}})[StringId::ButtonInstall], "Installer");
  EXPECT_EQ(table_for({{'e', 'S'}})[StringId::ButtonInstall], "Instalar");
  EXPECT_EQ(table_for({{'i', 't'}})[StringId::ButtonInstall], "Installa");
  EXPECT_EQ(table_for({{'T', 'R'}})[StringId::ButtonInstall], "Kur");
  // Neighbouring letters of the packed code run must not match ("ef", "sf").
  for (LanguageCode other : {LanguageCode{{'e', 'f'}}, LanguageCode{{'s', 'i'}}, LanguageCode{{'p', 't'}},
                             LanguageCode{{'\0', '\0'}}}) {
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
    ::testing::Values(
        FillCase{"no_placeholder_unchanged", "plain {Version} {olD}", "1", "0", "plain {Version} {olD}"},
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
      {Step::ClosingApp, StringId::StepClosingApp}, {Step::CopyingFiles, StringId::StepCopyingFiles},
      {Step::WebView2Setup, StringId::StepWebView2}, {Step::Shortcuts, StringId::StepShortcuts},
      {Step::Finishing, StringId::StepAlmostDone},   {Step::Removing, StringId::StepRemoving}};
  for (auto [step, id] : cases) EXPECT_EQ(step_label(step), id);
}

}  // namespace
}  // namespace vestrana
