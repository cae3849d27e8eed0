#include "system/registry_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_known_folders.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_system_messages.h"
#include "base/product.h"
#include "system/system_messages.h"

namespace vestrana {
namespace {

constexpr RegistryRoot kCu = RegistryRoot::CurrentUser;
const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\vestrana";
const std::string kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kFolder = "C:\\Users\\Ana\\AppData\\Local\\vestrana";

class RegistryEntries : public ::testing::Test {
 protected:
  FakeRegistry registry;
  FakeSystemMessages messages;
  FakeKnownFolders folders;
};

// --- System error descriptions ---------------------------------------------

struct HresultCase {
  int32_t status;
  uint32_t hresult;
};

class HresultFromWin32 : public ::testing::TestWithParam<HresultCase> {};

TEST_P(HresultFromWin32, MapsStatus) { EXPECT_EQ(hresult_from_win32(GetParam().status), GetParam().hresult); }

INSTANTIATE_TEST_SUITE_P(Statuses, HresultFromWin32,
                         ::testing::Values(HresultCase{5, 0x80070005u}, HresultCase{1234, 0x800704D2u},
                                           // Only the low 16 bits survive.
                                           HresultCase{0x12345, 0x80072345u},
                                           // Already an HRESULT (or success): unchanged.
                                           HresultCase{0, 0u},
                                           HresultCase{static_cast<int32_t>(0x80004005u), 0x80004005u}));

TEST(DescribeSystemError, MessageThenUpperCaseHexInParentheses) {
  FakeSystemMessages messages;
  messages.texts[0x8007000Eu] = "Not enough memory resources are available to complete this operation.";
  EXPECT_EQ(describe_system_error(messages, 0x8007000Eu),
            "Not enough memory resources are available to complete this operation. (0x8007000E)");
}

TEST(DescribeSystemError, HexAloneWithoutTextOrForAnEmptyText) {
  FakeSystemMessages messages;
  EXPECT_EQ(describe_system_error(messages, 0x800700AFu), "0x800700AF");
  EXPECT_EQ(describe_system_error(messages, 0x0000000Au), "0x0000000A");
  messages.texts[0x80070001u] = "";
  EXPECT_EQ(describe_system_error(messages, 0x80070001u), "0x80070001");
}

// --- The uninstall entry ----------------------------------------------------

TEST_F(RegistryEntries, UninstallEntryHasElevenValuesInOrder) {
  ASSERT_TRUE(write_uninstall_entry(registry, messages, kFolder, 2047).ok());

  const std::string uninstall = "\"" + kFolder + "\\uninstall.exe\" --uninstall";
  const std::vector<std::pair<std::string, FakeRegistry::Data>> expected = {
      {"DisplayName", std::string("vestrana")},
      {"DisplayIcon", kFolder + "\\vestrana.exe"},
      {"DisplayVersion", std::string(kSetupVersion)},
      {"Publisher", std::string("vestrana")},
      {"URLInfoAbout", std::string("https://vestrana.app/")},
      {"InstallLocation", kFolder},
      {"UninstallString", uninstall},
      {"QuietUninstallString", uninstall + " --silent"},
      {"EstimatedSize", uint32_t{1}},
      {"NoModify", uint32_t{1}},
      {"NoRepair", uint32_t{1}},
  };
  ASSERT_EQ(registry.writes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(registry.writes[i].key_path, kUninstallKey);
    EXPECT_EQ(registry.writes[i].name, expected[i].first);
    EXPECT_EQ(registry.writes[i].data, expected[i].second);
  }
  EXPECT_EQ(std::get<std::string>(expected[4].second).size(), 21u);
  EXPECT_EQ(registry.calls.front(), "create_key " + kUninstallKey);
  EXPECT_EQ(registry.calls.back(), "close_key");
  EXPECT_EQ(registry.open_key_count(), 0u);
}

TEST_F(RegistryEntries, FolderWithTrailingSeparatorGivesNoDoubledSeparator) {
  ASSERT_TRUE(write_uninstall_entry(registry, messages, "D:\\Apps\\vestrana\\", 0).ok());
  EXPECT_EQ(registry.string_value(kCu, kUninstallKey, "DisplayIcon"), "D:\\Apps\\vestrana\\vestrana.exe");
  EXPECT_EQ(registry.string_value(kCu, kUninstallKey, "UninstallString"),
            "\"D:\\Apps\\vestrana\\uninstall.exe\" --uninstall");
}

struct SizeCase {
  uint64_t bytes;
  uint32_t kib;
};

class EstimatedSize : public RegistryEntries, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(EstimatedSize, IsWholeKibibytesRoundedDown) {
  ASSERT_TRUE(write_uninstall_entry(registry, messages, kFolder, GetParam().bytes).ok());
  EXPECT_EQ(registry.dword_value(kCu, kUninstallKey, "EstimatedSize"), GetParam().kib);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EstimatedSize,
                         ::testing::Values(SizeCase{0, 0}, SizeCase{1023, 0}, SizeCase{2047, 1},
                                           SizeCase{1048576, 1024}, SizeCase{0x3FFFFFFFFFFull, 0xFFFFFFFFu},
                                           // Beyond 32 bits of KiB: the largest size, not a wrapped one.
                                           SizeCase{0x40000000400ull, 0xFFFFFFFFu}));

TEST_F(RegistryEntries, FailingValueDoesNotStopTheOthers) {
  registry.fail_set_value("DisplayName", 5);
  Result result = write_uninstall_entry(registry, messages, kFolder, 4096);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), "registry " + kUninstallKey + "\\DisplayName: WIN32_ERROR(5)");
  EXPECT_EQ(registry.writes.size(), 11u);
  EXPECT_EQ(registry.value_names(kCu, kUninstallKey).size(), 10u);
  EXPECT_EQ(registry.dword_value(kCu, kUninstallKey, "NoRepair"), 1u);
  EXPECT_FALSE(registry.value(kCu, kUninstallKey, "DisplayName"));
  EXPECT_EQ(registry.open_key_count(), 0u);
  EXPECT_EQ(registry.calls.back(), "close_key");
}

TEST_F(RegistryEntries, LastFailingValueIsReported) {
  registry.fail_set_value("DisplayName", 5);
  registry.fail_set_value("EstimatedSize", 1234);
  Result result = write_uninstall_entry(registry, messages, kFolder, 4096);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), "registry " + kUninstallKey + "\\EstimatedSize: WIN32_ERROR(1234)");
  EXPECT_EQ(registry.dword_value(kCu, kUninstallKey, "NoModify"), 1u);
}

TEST_F(RegistryEntries, KeyCreationFailureIsDescribedAndWritesNothing) {
  messages.texts[0x80070005u] = "Access is denied.";
  registry.fail_create_key(kUninstallKey, 5);
  Result result = write_uninstall_entry(registry, messages, kFolder, 4096);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), "registry " + kUninstallKey + ": Access is denied. (0x80070005)");
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_EQ(registry.calls, std::vector<std::string>{"create_key " + kUninstallKey});
}

TEST_F(RegistryEntries, KeyCreationFailureWithoutSystemTextIsHexAlone) {
  registry.fail_create_key(kRunKey, 1234);
  Result result = set_autostart(registry, messages, kFolder, true);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), "registry " + kRunKey + ": 0x800704D2");
  EXPECT_EQ(messages.asked, std::vector<uint32_t>{0x800704D2u});
}

// --- Reading the installed entry ---------------------------------------------

struct EntryCase {
  const char* name;
  std::optional<std::string> install_location;
  std::optional<std::string> uninstall_string;
  bool default_folder_known;
  std::string location;
};

class InstalledEntryLocation : public RegistryEntries, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(InstalledEntryLocation, FallsBackInOrder) {
  const EntryCase& c = GetParam();
  registry.put_string(kCu, kUninstallKey, "DisplayVersion", "1.1.0");
  if (c.install_location) registry.put_string(kCu, kUninstallKey, "InstallLocation", *c.install_location);
  if (c.uninstall_string) registry.put_string(kCu, kUninstallKey, "UninstallString", *c.uninstall_string);
  if (c.default_folder_known) folders.folders[KnownFolder::LocalAppData] = "C:\\Users\\Ana\\AppData\\Local";

  std::optional<InstalledEntry> entry = read_installed_entry(registry, folders);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->version, "1.1.0");
  EXPECT_EQ(entry->location, c.location);
}

const std::string kDefault = "C:\\Users\\Ana\\AppData\\Local\\vestrana";

INSTANTIATE_TEST_SUITE_P(
    Fallbacks, InstalledEntryLocation,
    ::testing::Values(
        EntryCase{"recorded_location", "E:\\Tools\\vestrana", "\"C:\\X\\uninstall.exe\"", true, "E:\\Tools\\vestrana"},
        EntryCase{"empty_location_quoted_command", "", "\"C:\\X\\vestrana\\uninstall.exe\" --uninstall", true,
                  "C:\\X\\vestrana"},
        EntryCase{"unquoted_command", std::nullopt, "C:\\X\\uninstall.exe", true, "C:\\X"},
        EntryCase{"blanks_and_several_quotes", std::nullopt, "  \t\"\"C:\\X\\uninstall.exe\" --uninstall", true,
                  "C:\\X"},
        // U+3000 and U+00A0 in front, U+2029 behind.
        EntryCase{"unicode_white_space", std::nullopt, "\xE3\x80\x80\xC2\xA0\"C:\\X\\uninstall.exe\xE2\x80\xA9", true,
                  "C:\\X"},
        EntryCase{"trailing_white_space_unquoted", std::nullopt, "C:\\X\\uninstall.exe \xE2\x80\x8A\r\n", true,
                  "C:\\X"},
        EntryCase{"unc_command", std::nullopt, "\"\\\\srv\\share\\vestrana\\uninstall.exe\" --uninstall", true,
                  "\\\\srv\\share\\vestrana"},
        EntryCase{"command_without_folder", std::nullopt, "\"uninstall.exe\" --uninstall", true, kDefault},
        EntryCase{"blank_command", "", " \xE2\x80\x83 ", true, kDefault},
        EntryCase{"nothing_recorded", std::nullopt, std::nullopt, true, kDefault},
        // A relative location would be resolved against the setup's working
        // folder, so it is not acted on.
        EntryCase{"relative_location", "vestrana", "\"C:\\X\\uninstall.exe\"", true, "C:\\X"},
        EntryCase{"relative_command", std::nullopt, "\"bin\\uninstall.exe\" --uninstall", true, kDefault},
        EntryCase{"drive_relative_command", std::nullopt, "\"C:bin\\uninstall.exe\"", true, kDefault},
        EntryCase{"no_default_either", std::nullopt, std::nullopt, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryEntries, FreshInstallReadsBack) {
  ASSERT_TRUE(write_uninstall_entry(registry, messages, kFolder, 10).ok());
  std::optional<InstalledEntry> entry = read_installed_entry(registry, folders);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->version, kSetupVersion);
  EXPECT_EQ(entry->location, kFolder);
}

TEST_F(RegistryEntries, NoDisplayVersionMeansNotInstalled) {
  registry.put_string(kCu, kUninstallKey, "InstallLocation", kFolder);
  EXPECT_FALSE(read_installed_entry(registry, folders));
  EXPECT_EQ(registry.calls, std::vector<std::string>{"get_string HKCU\\" + kUninstallKey + "\\DisplayVersion"});

  registry.put_dword(kCu, kUninstallKey, "DisplayVersion", 1);  // wrong type
  EXPECT_FALSE(read_installed_entry(registry, folders));
}

TEST_F(RegistryEntries, UninstallerPathFromCommand) {
  EXPECT_EQ(uninstaller_path_from_command("\"C:\\a b\\u.exe\" --uninstall"), "C:\\a b\\u.exe");
  EXPECT_EQ(uninstaller_path_from_command("\"\"\"C:\\a\"b\"c"), "C:\\a");
  EXPECT_EQ(uninstaller_path_from_command("   "), "");
  EXPECT_EQ(uninstaller_path_from_command("\"\""), "");
  // U+200B ZERO WIDTH SPACE is not White_Space and stays.
  EXPECT_EQ(uninstaller_path_from_command("\xE2\x80\x8B"
                                          "C:\\u.exe"),
            "\xE2\x80\x8B"
            "C:\\u.exe");
}

// --- Removing the entries -----------------------------------------------------

TEST_F(RegistryEntries, DeleteUninstallEntryRemovesOnlyThatKey) {
  ASSERT_TRUE(write_uninstall_entry(registry, messages, kFolder, 10).ok());
  registry.put_string(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\other", "DisplayName", "x");

  delete_uninstall_entry(registry);
  EXPECT_FALSE(registry.has_key(kCu, kUninstallKey));
  EXPECT_TRUE(registry.has_key(kCu, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\other"));
  EXPECT_FALSE(read_installed_entry(registry, folders));
  // Already gone: nothing to report, nothing breaks.
  delete_uninstall_entry(registry);
}

TEST_F(RegistryEntries, AppKeysGoAndTheirParentOnlyWhenEmpty) {
  registry.put_string(kCu, "Software\\vestrana\\vestrana\\session", "token", "t");
  registry.put_string(kCu, "Software\\vestrana\\vestrana", "theme", "dark");
  registry.put_string(kCu, "Software\\vestrana\\other-app", "x", "y");

  delete_app_keys(registry);
  EXPECT_FALSE(registry.has_key(kCu, "Software\\vestrana\\vestrana"));
  EXPECT_FALSE(registry.has_key(kCu, "Software\\vestrana\\vestrana\\session"));
  EXPECT_TRUE(registry.has_key(kCu, "Software\\vestrana"));
  EXPECT_TRUE(registry.has_key(kCu, "Software\\vestrana\\other-app"));

  registry.delete_tree("Software\\vestrana\\other-app");
  delete_app_keys(registry);
  EXPECT_FALSE(registry.has_key(kCu, "Software\\vestrana"));
  EXPECT_TRUE(registry.has_key(kCu, "Software"));
}

TEST_F(RegistryEntries, EmptyTreePathNeverReachesTheRoot) {
  registry.put_string(kCu, "Software\\Other", "keep", "me");
  delete_registry_tree(registry, "");
  EXPECT_TRUE(registry.has_key(kCu, "Software\\Other"));
}

// --- Autostart -------------------------------------------------------------------

TEST_F(RegistryEntries, AutostartOnWritesQuotedProgramWithBackground) {
  ASSERT_TRUE(set_autostart(registry, messages, kFolder, true).ok());
  EXPECT_EQ(registry.string_value(kCu, kRunKey, "vestrana"), "\"" + kFolder + "\\vestrana.exe\" --background");
  EXPECT_TRUE(autostart_present(registry));
  EXPECT_EQ(registry.open_key_count(), 0u);
}

TEST_F(RegistryEntries, AutostartOffRemovesOnlyOurValue) {
  registry.put_string(kCu, kRunKey, "vestrana", "\"C:\\old\\vestrana.exe\" --background");
  registry.put_string(kCu, kRunKey, "OtherApp", "other.exe");

  ASSERT_TRUE(set_autostart(registry, messages, kFolder, false).ok());
  EXPECT_FALSE(autostart_present(registry));
  EXPECT_EQ(registry.string_value(kCu, kRunKey, "OtherApp"), "other.exe");
}

TEST_F(RegistryEntries, AutostartOffWithoutValueSucceedsAndCreatesNothing) {
  EXPECT_TRUE(set_autostart(registry, messages, kFolder, false).ok());
  EXPECT_FALSE(registry.has_key(kCu, kRunKey));
  EXPECT_FALSE(autostart_present(registry));
}

TEST_F(RegistryEntries, AutostartWriteFailureIsReported) {
  registry.fail_set_value("vestrana", 5);
  Result result = set_autostart(registry, messages, kFolder, true);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), "registry " + kRunKey + "\\vestrana: WIN32_ERROR(5)");
}

TEST_F(RegistryEntries, AutostartPresenceIgnoresContentButNeedsText) {
  registry.put_string(kCu, kRunKey, "VESTRANA", "");
  EXPECT_TRUE(autostart_present(registry));
  registry.put_dword(kCu, kRunKey, "vestrana", 1);
  EXPECT_FALSE(autostart_present(registry));
}

// --- Theme ---------------------------------------------------------------------------

struct ThemeCase {
  const char* name;
  std::optional<FakeRegistry::Data> value;
  bool dark;
};

class DarkPreference : public RegistryEntries, public ::testing::WithParamInterface<ThemeCase> {};

TEST_P(DarkPreference, DarkOnlyForDwordZero) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  if (GetParam().value) registry.put(kCu, key, "AppsUseLightTheme", *GetParam().value);
  EXPECT_EQ(read_dark_preference(registry), GetParam().dark);
}

INSTANTIATE_TEST_SUITE_P(Values, DarkPreference,
                         ::testing::Values(ThemeCase{"zero", FakeRegistry::Data(uint32_t{0}), true},
                                           ThemeCase{"one", FakeRegistry::Data(uint32_t{1}), false},
                                           ThemeCase{"other", FakeRegistry::Data(uint32_t{2}), false},
                                           ThemeCase{"text_zero", FakeRegistry::Data(std::string("0")), false},
                                           ThemeCase{"missing", std::nullopt, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Autostart and the user's choice in Task Manager (StartupApproved\Run) ---
// The value's layout is not documented by Microsoft; the first byte's lowest
// bit as the "off" flag is what Task Manager writes (02/06 on, 03/07 off,
// followed by the FILETIME of the change).

const std::string kApprovedKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

TEST_F(RegistryEntries, AutostartPresenceHonoursTheUsersChoice) {
  struct Case {
    const char* label;
    std::optional<FakeRegistry::Data> approval;
    bool present;
  };
  const std::vector<uint8_t> off_time = {0x03, 0, 0, 0, 0x17, 0x79, 0xBD, 0x01, 0x17, 0xD9, 0xD1, 0x01};
  for (const Case& c : {
           Case{"no choice recorded", std::nullopt, true},
           Case{"on (02)", std::vector<uint8_t>{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
           Case{"on (06)", std::vector<uint8_t>{0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true},
           Case{"off (03)", off_time, false},
           Case{"off (07)", std::vector<uint8_t>{0x07, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}, false},
           Case{"empty value", std::vector<uint8_t>{}, true},
           Case{"not binary", FakeRegistry::Data(uint32_t{3}), true},
       }) {
    SCOPED_TRACE(c.label);
    FakeRegistry fresh;
    fresh.put_string(kCu, kRunKey, "vestrana", "\"C:\\x\\vestrana.exe\" --background");
    if (c.approval) fresh.put(kCu, kApprovedKey, "vestrana", *c.approval);
    EXPECT_EQ(autostart_present(fresh), c.present);
  }
  // A choice without the Run value is no autostart.
  registry.put(kCu, kApprovedKey, "vestrana", std::vector<uint8_t>{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_FALSE(autostart_present(registry));
}

TEST_F(RegistryEntries, TurningAutostartOnClearsAnEarlierOffAndOffRemovesBoth) {
  registry.put(kCu, kApprovedKey, "vestrana", std::vector<uint8_t>{0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  registry.put(kCu, kApprovedKey, "OtherApp", std::vector<uint8_t>{0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});

  ASSERT_TRUE(set_autostart(registry, messages, kFolder, true).ok());
  EXPECT_FALSE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
  EXPECT_TRUE(autostart_present(registry));

  registry.put(kCu, kApprovedKey, "vestrana", std::vector<uint8_t>{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(set_autostart(registry, messages, kFolder, false).ok());
  EXPECT_FALSE(registry.value(kCu, kRunKey, "vestrana").has_value());
  EXPECT_FALSE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
  // Another program's choice is the user's, not ours.
  EXPECT_TRUE(registry.value(kCu, kApprovedKey, "OtherApp").has_value());
}

TEST_F(RegistryEntries, AFailedAutostartWriteKeepsTheUsersOff) {
  registry.put(kCu, kApprovedKey, "vestrana", std::vector<uint8_t>{0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8});
  registry.fail_set_value("vestrana", 5);
  EXPECT_FALSE(set_autostart(registry, messages, kFolder, true).ok());
  EXPECT_TRUE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
}

}  // namespace
}  // namespace vestrana
