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
const std::string kApprovedKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const std::string kFolder = "C:\\Users\\Ana\\AppData\\Local\\vestrana";

// What a call gave, as one value to compare: a success is no failure text.
std::string failure_of(const Result& result) { return result.ok() ? "(success)" : result.failure_text(); }

class RegistryEntries : public ::testing::Test {
 protected:
  Result write_entry(uint64_t bytes = 4096, const std::string& folder = kFolder) {
    return write_uninstall_entry(registry, messages, folder, bytes);
  }
  Result autostart(bool enabled) { return set_autostart(registry, messages, kFolder, enabled); }

  FakeRegistry registry;
  FakeSystemMessages messages;
  FakeKnownFolders folders;
};

// --- System error descriptions ---------------------------------------------

TEST(HresultFromWin32, MapsStatus) {
  const std::pair<int32_t, uint32_t> cases[] = {
      {5, 0x80070005u},
      {1234, 0x800704D2u},
      {0x12345, 0x80072345u},  // only the low 16 bits survive
      {0, 0u},  // already an HRESULT (or success): unchanged
      {static_cast<int32_t>(0x80004005u), 0x80004005u},
  };
  for (const auto& [status, hresult] : cases) EXPECT_EQ(hresult_from_win32(status), hresult) << status;
}

TEST(DescribeSystemError, MessageThenUpperCaseHexOrTheHexAlone) {
  struct Case {
    uint32_t hresult;
    std::optional<std::string> text;
    std::string described;
  };
  const std::string memory = "Not enough memory resources are available to complete this operation.";
  for (const Case& c : {Case{0x8007000Eu, memory, memory + " (0x8007000E)"}, Case{0x800700AFu, {}, "0x800700AF"},
                        Case{0x0000000Au, {}, "0x0000000A"}, Case{0x80070001u, "", "0x80070001"}}) {
    FakeSystemMessages messages;
    if (c.text) messages.texts[c.hresult] = *c.text;
    EXPECT_EQ(describe_system_error(messages, c.hresult), c.described);
  }
}

// --- The uninstall entry ----------------------------------------------------

TEST_F(RegistryEntries, UninstallEntryHasElevenValuesInOrder) {
  ASSERT_TRUE(write_entry(2047).ok());

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
  EXPECT_EQ(registry.calls.front(), "create_key " + kUninstallKey);
  EXPECT_EQ(registry.calls.back(), "close_key");
  EXPECT_EQ(registry.open_key_count(), 0u);
}

TEST_F(RegistryEntries, FolderWithTrailingSeparatorGivesNoDoubledSeparator) {
  ASSERT_TRUE(write_entry(0, "D:\\Apps\\vestrana\\").ok());
  EXPECT_EQ(registry.string_value(kCu, kUninstallKey, "DisplayIcon"), "D:\\Apps\\vestrana\\vestrana.exe");
  EXPECT_EQ(registry.string_value(kCu, kUninstallKey, "UninstallString"),
            "\"D:\\Apps\\vestrana\\uninstall.exe\" --uninstall");
}

TEST(EstimatedSize, IsWholeKibibytesRoundedDown) {
  const std::pair<uint64_t, uint32_t> cases[] = {
      {0, 0},
      {1023, 0},
      {2047, 1},
      {1048576, 1024},
      {0x3FFFFFFFFFFull, 0xFFFFFFFFu},
      {0x40000000400ull, 0xFFFFFFFFu},  // beyond 32 bits of KiB: the largest size, not a wrapped one
  };
  for (const auto& [bytes, kib] : cases) {
    FakeRegistry registry;
    FakeSystemMessages messages;
    ASSERT_TRUE(write_uninstall_entry(registry, messages, kFolder, bytes).ok());
    EXPECT_EQ(registry.dword_value(kCu, kUninstallKey, "EstimatedSize"), kib) << bytes;
  }
}

TEST_F(RegistryEntries, FailingValueDoesNotStopTheOthers) {
  registry.fail_set_value("DisplayName", 5);
  EXPECT_EQ(failure_of(write_entry()), "registry " + kUninstallKey + "\\DisplayName: WIN32_ERROR(5)");
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
  EXPECT_EQ(failure_of(write_entry()), "registry " + kUninstallKey + "\\EstimatedSize: WIN32_ERROR(1234)");
  EXPECT_EQ(registry.dword_value(kCu, kUninstallKey, "NoModify"), 1u);
}

TEST_F(RegistryEntries, KeyCreationFailureIsDescribedAndWritesNothing) {
  messages.texts[0x80070005u] = "Access is denied.";
  registry.fail_create_key(kUninstallKey, 5);
  EXPECT_EQ(failure_of(write_entry()), "registry " + kUninstallKey + ": Access is denied. (0x80070005)");
  EXPECT_TRUE(registry.writes.empty());
  EXPECT_EQ(registry.calls, std::vector<std::string>{"create_key " + kUninstallKey});

  // Without a system text the code stands alone.
  registry.fail_create_key(kRunKey, 1234);
  EXPECT_EQ(failure_of(autostart(true)), "registry " + kRunKey + ": 0x800704D2");
  EXPECT_EQ(messages.asked, (std::vector<uint32_t>{0x80070005u, 0x800704D2u}));
}

// --- Reading the installed entry ---------------------------------------------

const std::string kDefault = "C:\\Users\\Ana\\AppData\\Local\\vestrana";

TEST_F(RegistryEntries, InstalledEntryLocationFallsBackInOrder) {
  struct Case {
    const char* name;
    std::optional<std::string> install_location;
    std::optional<std::string> uninstall_string;
    std::string location;
  };
  const Case cases[] = {
      {"recorded location", "E:\\Tools\\vestrana", "\"C:\\X\\uninstall.exe\"", "E:\\Tools\\vestrana"},
      {"empty location, quoted command", "", "\"C:\\X\\vestrana\\uninstall.exe\" --uninstall", "C:\\X\\vestrana"},
      {"unquoted command", std::nullopt, "C:\\X\\uninstall.exe", "C:\\X"},
      {"blanks and several quotes", std::nullopt, "  \t\"\"C:\\X\\uninstall.exe\" --uninstall", "C:\\X"},
      // U+3000 and U+00A0 in front, U+2029 behind.
      {"unicode white space", std::nullopt, "\xE3\x80\x80\xC2\xA0\"C:\\X\\uninstall.exe\xE2\x80\xA9", "C:\\X"},
      {"trailing white space, unquoted", std::nullopt, "C:\\X\\uninstall.exe \xE2\x80\x8A\r\n", "C:\\X"},
      {"UNC command", std::nullopt, "\"\\\\srv\\share\\vestrana\\uninstall.exe\" --uninstall",
       "\\\\srv\\share\\vestrana"},
      {"command without folder", std::nullopt, "\"uninstall.exe\" --uninstall", kDefault},
      {"blank command", "", " \xE2\x80\x83 ", kDefault},
      {"nothing recorded", std::nullopt, std::nullopt, kDefault},
      // A relative location would be resolved against the setup's working
      // folder, so it is not acted on.
      {"relative location", "vestrana", "\"C:\\X\\uninstall.exe\"", "C:\\X"},
      {"relative command", std::nullopt, "\"bin\\uninstall.exe\" --uninstall", kDefault},
      {"drive-relative command", std::nullopt, "\"C:bin\\uninstall.exe\"", kDefault},
      {"no default either", std::nullopt, std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRegistry registry;
    FakeKnownFolders folders;
    registry.put_string(kCu, kUninstallKey, "DisplayVersion", "1.1.0");
    if (c.install_location) registry.put_string(kCu, kUninstallKey, "InstallLocation", *c.install_location);
    if (c.uninstall_string) registry.put_string(kCu, kUninstallKey, "UninstallString", *c.uninstall_string);
    // The default folder is known in every row but the one that ends with none.
    if (!c.location.empty()) folders.folders[KnownFolder::LocalAppData] = "C:\\Users\\Ana\\AppData\\Local";

    std::optional<InstalledEntry> entry = read_installed_entry(registry, folders);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->version, "1.1.0");
    EXPECT_EQ(entry->location, c.location);
  }
}

TEST_F(RegistryEntries, NoDisplayVersionMeansNotInstalled) {
  registry.put_string(kCu, kUninstallKey, "InstallLocation", kFolder);
  EXPECT_FALSE(read_installed_entry(registry, folders));
  EXPECT_EQ(registry.calls, std::vector<std::string>{"get_string HKCU\\" + kUninstallKey + "\\DisplayVersion"});

  registry.put_dword(kCu, kUninstallKey, "DisplayVersion", 1);  // wrong type
  EXPECT_FALSE(read_installed_entry(registry, folders));
}

TEST(UninstallerPathFromCommand, IsTheFirstQuotedOrBlankFreeWord) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"C:\\a b\\u.exe\" --uninstall", "C:\\a b\\u.exe"},
      {"\"\"\"C:\\a\"b\"c", "C:\\a"},
      {"   ", ""},
      {"\"\"", ""},
      // U+200B ZERO WIDTH SPACE is not White_Space and stays.
      {"\xE2\x80\x8B"
       "C:\\u.exe",
       "\xE2\x80\x8B"
       "C:\\u.exe"},
  };
  for (const auto& [command, path] : cases) EXPECT_EQ(uninstaller_path_from_command(command), path) << command;
}

// --- Removing the entries -----------------------------------------------------

TEST_F(RegistryEntries, AWrittenEntryReadsBackAndDeletingRemovesOnlyThatKey) {
  const std::string other = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\other";
  ASSERT_TRUE(write_entry(10).ok());
  std::optional<InstalledEntry> entry = read_installed_entry(registry, folders);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->version, kSetupVersion);
  EXPECT_EQ(entry->location, kFolder);
  registry.put_string(kCu, other, "DisplayName", "x");

  delete_uninstall_entry(registry);
  EXPECT_FALSE(registry.has_key(kCu, kUninstallKey));
  EXPECT_TRUE(registry.has_key(kCu, other));
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

TEST_F(RegistryEntries, AutostartOnWritesOurQuotedProgramAndOffRemovesOnlyIt) {
  // Off without a value succeeds and creates nothing.
  EXPECT_TRUE(autostart(false).ok());
  EXPECT_FALSE(registry.has_key(kCu, kRunKey));
  EXPECT_FALSE(autostart_present(registry));

  registry.put_string(kCu, kRunKey, "OtherApp", "other.exe");
  ASSERT_TRUE(autostart(true).ok());
  EXPECT_EQ(registry.string_value(kCu, kRunKey, "vestrana"), "\"" + kFolder + "\\vestrana.exe\" --background");
  EXPECT_TRUE(autostart_present(registry));
  EXPECT_EQ(registry.open_key_count(), 0u);

  ASSERT_TRUE(autostart(false).ok());
  EXPECT_FALSE(autostart_present(registry));
  EXPECT_EQ(registry.string_value(kCu, kRunKey, "OtherApp"), "other.exe");
}

TEST_F(RegistryEntries, AFailedAutostartWriteIsReportedAndKeepsTheUsersOff) {
  const std::vector<uint8_t> off = {0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  registry.put(kCu, kApprovedKey, "vestrana", off);
  registry.fail_set_value("vestrana", 5);
  EXPECT_EQ(failure_of(autostart(true)), "registry " + kRunKey + "\\vestrana: WIN32_ERROR(5)");
  EXPECT_TRUE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
}

TEST_F(RegistryEntries, AutostartPresenceIgnoresContentButNeedsText) {
  registry.put_string(kCu, kRunKey, "VESTRANA", "");
  EXPECT_TRUE(autostart_present(registry));
  registry.put_dword(kCu, kRunKey, "vestrana", 1);
  EXPECT_FALSE(autostart_present(registry));
}

// --- Theme ---------------------------------------------------------------------------

TEST(DarkPreference, DarkOnlyForDwordZero) {
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  struct Case {
    const char* name;
    std::optional<FakeRegistry::Data> value;
    bool dark;
  };
  for (const Case& c :
       {Case{"zero", FakeRegistry::Data(uint32_t{0}), true}, Case{"one", FakeRegistry::Data(uint32_t{1}), false},
        Case{"other", FakeRegistry::Data(uint32_t{2}), false},
        Case{"text zero", FakeRegistry::Data(std::string("0")), false}, Case{"missing", std::nullopt, false}}) {
    FakeRegistry registry;
    if (c.value) registry.put(kCu, key, "AppsUseLightTheme", *c.value);
    EXPECT_EQ(read_dark_preference(registry), c.dark) << c.name;
  }
}

// --- Autostart and the user's choice in Task Manager (StartupApproved\Run) ---
// The value's layout is not documented by Microsoft; the first byte's lowest
// bit as the "off" flag is what Task Manager writes (02/06 on, 03/07 off,
// followed by the FILETIME of the change).

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
  const std::vector<uint8_t> off = {0x03, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  registry.put(kCu, kApprovedKey, "vestrana", off);
  registry.put(kCu, kApprovedKey, "OtherApp", off);

  ASSERT_TRUE(autostart(true).ok());
  EXPECT_FALSE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
  EXPECT_TRUE(autostart_present(registry));

  registry.put(kCu, kApprovedKey, "vestrana", std::vector<uint8_t>{0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(autostart(false).ok());
  EXPECT_FALSE(registry.value(kCu, kRunKey, "vestrana").has_value());
  EXPECT_FALSE(registry.value(kCu, kApprovedKey, "vestrana").has_value());
  // Another program's choice is the user's, not ours.
  EXPECT_TRUE(registry.value(kCu, kApprovedKey, "OtherApp").has_value());
}

}  // namespace
}  // namespace vestrana
