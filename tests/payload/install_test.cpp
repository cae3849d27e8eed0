// The install procedure against a machine in memory: the order and pacing of
// its steps, what each failure reports and leaves behind, and the cleanup of
// an earlier install folder.
#include "payload/install.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/test_archive.h"
#include "base/product.h"
#include "base/progress.h"
#include "system/registry_entries.h"
#include "system/webview2.h"
#include "ui/procedure_texts.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

// The failure text of a run that must fail, or a mark no failure text equals.
std::string failure_of(const Result& result) { return result ? "<succeeded>" : result.failure_text(); }

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using testing::FakeMachine;
using ::testing::HasSubstr;
using ::testing::StartsWith;

using Report = std::pair<Step, float>;

const std::vector<Report> kSuccessfulReports = {
    {Step::ClosingApp, 0.00f},    {Step::ClosingApp, 0.08f},   {Step::CopyingFiles, 0.08f},
    {Step::CopyingFiles, 0.40f},  {Step::CopyingFiles, 0.62f}, {Step::WebView2Setup, 0.62f},
    {Step::WebView2Setup, 0.82f}, {Step::Shortcuts, 0.82f},    {Step::Shortcuts, 0.94f},
    {Step::Finishing, 0.94f},     {Step::Finishing, 1.00f}};

std::vector<Report> first(size_t n) { return {kSuccessfulReports.begin(), kSuccessfulReports.begin() + n}; }

class InstallTest : public ::testing::Test {
 protected:
  static constexpr const char* kSetup = "C:\\Users\\u\\Downloads\\vestrana-setup.exe";
  const std::string install_dir = FakeMachine::kInstallDir;
  const std::string earlier_dir = "D:\\Apps\\vestrana";
  const std::string start_link = std::string(FakeMachine::kPrograms) + "\\vestrana.lnk";
  const std::string desktop_link = std::string(FakeMachine::kDesktop) + "\\vestrana.lnk";

  void SetUp() override {
    m.processes.own_path = kSetup;
    m.files.add_file(kSetup, "SETUP PROGRAM");
    m.registry.put_string(kWebView2ClientKeys[2].root, kWebView2ClientKeys[2].path, "pv", "120.0.1.2");
    record->observe_reports([this](Step step, float fraction) { reports.emplace_back(step, fraction); });
  }

  Result run(InstallChoices choices = {}, const StringTable& table = table_for(language_for_langid(0x0409))) {
    return install_app(m.platform, *record, choices, install_texts(table), archive);
  }

  std::string at(std::string_view name) const { return install_dir + "\\" + std::string(name); }
  std::string file(std::string_view name) { return m.files.text(at(name)).value_or("<none>"); }
  // The install folder holds these three files and nothing else.
  void expect_set(std::string_view loader, std::string_view app, std::string_view uninstaller) {
    EXPECT_THAT(m.files.paths_under(install_dir), ElementsAre("uninstall.exe", "vestrana.exe", "WebView2Loader.dll"));
    EXPECT_EQ(file("WebView2Loader.dll"), loader);
    EXPECT_EQ(file("vestrana.exe"), app);
    EXPECT_EQ(file("uninstall.exe"), uninstaller);
  }
  std::optional<std::string> uninstall_value(std::string_view name) {
    return m.registry.string_value(RegistryRoot::CurrentUser, kUninstallKeyPath, name);
  }
  void record_earlier_install(const std::string& location, const std::string& version = "1.1.0") {
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", version);
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "InstallLocation", location);
  }

  FakeMachine m;
  ProgressRef record = create_progress_record();
  std::vector<Report> reports;
  std::vector<uint8_t> archive = testing::packed_app({{"WebView2Loader.dll", "LOADER"}, {"vestrana.exe", "APP V2"}});
};

TEST_F(InstallTest, FirstInstallRunsEveryPacedStepAndLeavesTheAppInPlace) {
  ASSERT_TRUE(run());
  EXPECT_EQ(reports, kSuccessfulReports);
  EXPECT_THAT(m.clock.sleeps(), ElementsAre(450ms, 1100ms, 350ms, 450ms, 400ms));

  expect_set("LOADER", "APP V2", "SETUP PROGRAM");

  EXPECT_EQ(uninstall_value("DisplayVersion"), kSetupVersion);
  EXPECT_EQ(uninstall_value("InstallLocation"), install_dir);
  // 6 + 6 bytes of app files and the 13 bytes of the uninstaller: under 1 KiB.
  EXPECT_EQ(m.registry.dword_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "EstimatedSize"), 0u);
  EXPECT_TRUE(m.files.exists(start_link));
  EXPECT_TRUE(m.files.exists(desktop_link));
  EXPECT_FALSE(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"));
}

TEST_F(InstallTest, InstalledSizeCountsEveryFileWrittenInKibibytes) {
  archive =
      testing::packed_app({{"vestrana.exe", std::string(3000, 'x')}, {"WebView2Loader.dll", std::string(1000, 'y')}});
  m.files.add_file(kSetup, std::string(2144, 'z'));
  ASSERT_TRUE(run());
  EXPECT_EQ(m.registry.dword_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "EstimatedSize"), 6u);
}

TEST_F(InstallTest, OptionsDecideTheDesktopShortcutAndTheAutostartValue) {
  m.files.add_file(desktop_link, "an older shortcut");
  m.registry.put_string(RegistryRoot::CurrentUser, kRunKeyPath, "other", "keep me");

  ASSERT_TRUE(run({.desktop_shortcut = false, .autostart = true}));
  EXPECT_FALSE(m.files.exists(desktop_link));
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"),
            "\"" + install_dir + "\\vestrana.exe\" --background");

  ASSERT_TRUE(run({.desktop_shortcut = true, .autostart = false}));
  EXPECT_TRUE(m.files.exists(desktop_link));
  EXPECT_FALSE(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"));
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "other"), "keep me");
}

TEST_F(InstallTest, DamagedArchiveStopsAfterTheCopyStepAndChangesNoFile) {
  m.files.add_file(at("vestrana.exe"), "APP V1");
  archive[archive.size() / 2] ^= 0xFF;

  EXPECT_THAT(failure_of(run()), StartsWith("the packed app is damaged ("));
  std::vector<Report> expected = first(3);
  expected.push_back({Step::CopyingFiles, 0.62f});
  EXPECT_EQ(reports, expected);
  EXPECT_THAT(m.clock.sleeps(), ElementsAre(450ms, 1100ms));
  EXPECT_EQ(file("vestrana.exe"), "APP V1");
  EXPECT_EQ(file("uninstall.exe"), "<none>");
  EXPECT_TRUE(m.registry.writes.empty());
}

TEST_F(InstallTest, WriteFailureNamesTheSystemErrorInTheChosenLanguage) {
  m.files.add_file(at("vestrana.exe"), "APP V1");
  m.files.fail_write(at("vestrana.new"), OsError{"Access is denied.", 5});

  EXPECT_EQ(failure_of(run()), "The files could not be written (Access is denied. (os error 5)).");
  EXPECT_EQ(file("vestrana.exe"), "APP V1");
  EXPECT_EQ(file("WebView2Loader.dll"), "<none>");  // the set is replaced whole or not at all
  EXPECT_EQ(reports.back(), Report(Step::CopyingFiles, 0.62f));

  EXPECT_EQ(failure_of(run({}, table_for(language_for_langid(0x0407)))),
            "Die Dateien ließen sich nicht schreiben (Access is denied. (os error 5)).");
}

TEST_F(InstallTest, AnUpdateKilledHalfWayIsPutBackBeforeTheRerunReplacesTheSet) {
  // The killed run had moved the new loader in and the old program aside.
  for (auto [name, text] : {std::pair{"WebView2Loader.dll", "LOADER"},
                            {"WebView2Loader.old", "LOADER V1"},
                            {"vestrana.old", "APP V1"},
                            {"vestrana.new", "APP V2"},
                            {"uninstall.exe", "UNINSTALLER V1"},
                            {"uninstall.new", "SETUP PROGRAM"}}) {
    m.files.add_file(at(name), text);
  }
  // This run fails at its first write: what is left is the earlier set, whole.
  m.files.fail_write(at("WebView2Loader.new"), OsError{"There is not enough space on the disk.", 112});
  ASSERT_FALSE(run());
  expect_set("LOADER V1", "APP V1", "UNINSTALLER V1");

  m.files.clear_failures();
  ASSERT_TRUE(run());
  expect_set("LOADER", "APP V2", "SETUP PROGRAM");
}

TEST_F(InstallTest, UnknownProgramPathFailsTheCopyStep) {
  m.processes.own_path.reset();
  EXPECT_THAT(failure_of(run()), HasSubstr("(os error 2)"));
  EXPECT_FALSE(uninstall_value("DisplayVersion"));
}

TEST_F(InstallTest, WithoutAnyApplicationDataFolderNothingIsWrittenAnywhere) {
  m.folders.folders.erase(KnownFolder::LocalAppData);
  m.folders.environment.clear();
  std::vector<std::string> before = m.files.all_paths();

  EXPECT_THAT(failure_of(run()), StartsWith("The files could not be written ("));
  EXPECT_EQ(m.files.all_paths(), before);
}

TEST_F(InstallTest, EarlierFolderElsewhereIsClosedAndClearedOnlyAfterACopy) {
  record_earlier_install(earlier_dir);
  for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
    m.files.add_file(earlier_dir + "\\" + name, "old");
  }
  m.processes.add(7, "vestrana.exe", earlier_dir + "\\vestrana.exe");
  m.processes.add(8, "vestrana.exe", install_dir + "\\vestrana.exe");
  m.processes.add(9, "vestrana.exe", "E:\\elsewhere\\vestrana.exe");
  m.files.fail_write(at("WebView2Loader.new"), OsError{"Access is denied.", 5});

  ASSERT_FALSE(run());
  EXPECT_THAT(m.processes.terminated, ElementsAre(7, 8));
  EXPECT_EQ(m.files.text(earlier_dir + "\\vestrana.exe"), "old");

  m.files.clear_failures();
  ASSERT_TRUE(run());
  EXPECT_FALSE(m.files.exists(earlier_dir));
  EXPECT_EQ(uninstall_value("InstallLocation"), install_dir);
}

TEST_F(InstallTest, AnElevatedAppStopsTheUpdateBeforeAnyFileIsWritten) {
  m.processes.add(8, "vestrana.exe", install_dir + "\\vestrana.exe");
  m.processes.processes.back().elevated = true;
  const std::vector<std::string> before = m.files.all_paths();

  EXPECT_EQ(failure_of(run({}, table_for(language_for_langid(0x0407)))),
            "vestrana läuft mit Administratorrechten. Schließe es und versuche es erneut.");
  EXPECT_TRUE(m.processes.running(8));
  EXPECT_EQ(m.files.all_paths(), before);
  EXPECT_EQ(uninstall_value("DisplayVersion"), std::nullopt);
  EXPECT_EQ(reports, first(2));
}

// Windows paths name the same folder in any letter case, with a trailing
// separator, or through another spelling that resolves to it; none of these
// may count as an earlier folder, or the files just written would be deleted.
class SameFolderSpelling : public InstallTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(SameFolderSpelling, IsNotTreatedAsAnEarlierFolder) {
  std::string spelling = GetParam();
  m.files.add_alias("C:\\Users\\U\\APPDAT~1\\Local\\vestra~1", install_dir);
  m.files.add_alias("C:\\Links\\vestrana", install_dir);
  record_earlier_install(spelling, "1.2.1");
  m.processes.add(8, "vestrana.exe", install_dir + "\\vestrana.exe");

  ASSERT_TRUE(run());
  EXPECT_EQ(file("vestrana.exe"), "APP V2");
  EXPECT_EQ(file("uninstall.exe"), "SETUP PROGRAM");
  EXPECT_THAT(m.processes.end_attempts.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Spellings, SameFolderSpelling,
                         ::testing::Values("C:\\Users\\u\\AppData\\Local\\vestrana\\",
                                           "c:\\users\\U\\appdata\\LOCAL\\VESTRANA",
                                           "C:/Users/u/AppData/Local/vestrana",
                                           "C:\\Users\\U\\APPDAT~1\\Local\\vestra~1", "C:\\Links\\vestrana"));

TEST_F(InstallTest, StartedFromTheInstalledUninstallerItDoesNotCopyItselfOntoItself) {
  m.files.add_file(at("uninstall.exe"), "INSTALLED UNINSTALLER");
  m.processes.own_path = "c:\\users\\u\\appdata\\local\\VESTRANA\\Uninstall.exe";
  archive = testing::packed_app({{"vestrana.exe", std::string(2048, 'a')}});

  // Left by an earlier run that was cut short while copying the uninstaller.
  m.files.add_file(at("uninstall.new"), "half", /*read_only=*/true);

  ASSERT_TRUE(run());
  EXPECT_EQ(file("uninstall.exe"), "INSTALLED UNINSTALLER");
  EXPECT_FALSE(m.files.exists(at("uninstall.new")));
  EXPECT_EQ(m.registry.dword_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "EstimatedSize"), 2u);
}

TEST_F(InstallTest, EmptyArchiveInstallsNoAppFilesButCompletes) {
  archive = testing::packed_app({});
  ASSERT_TRUE(run());
  EXPECT_EQ(file("vestrana.exe"), "<none>");
  EXPECT_EQ(file("uninstall.exe"), "SETUP PROGRAM");
  EXPECT_EQ(reports, kSuccessfulReports);
}

TEST_F(InstallTest, MissingRuntimeThatCannotBeSetUpEndsAfterItsStep) {
  m.registry.delete_tree(std::string(kWebView2ClientKeys[2].path));
  m.downloader.result = static_cast<int32_t>(0x800C0008);

  EXPECT_EQ(failure_of(run()), "Microsoft WebView2 could not be set up. Please check the internet connection.");
  EXPECT_EQ(reports, first(7));
  EXPECT_EQ(file("vestrana.exe"), "APP V2");
  EXPECT_FALSE(m.files.exists(start_link));
}

TEST_F(InstallTest, StartMenuShortcutFailureLeavesDesktopAutostartAndEntryAlone) {
  m.links.failures["save"] = static_cast<int32_t>(0x80070005);
  m.registry.put_string(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana", "old command");

  EXPECT_EQ(failure_of(run({.desktop_shortcut = true, .autostart = false})),
            "shortcut " + start_link + ": save: Access is denied. (0x80070005)");
  EXPECT_EQ(reports, first(9));
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"), "old command");
  EXPECT_FALSE(uninstall_value("DisplayVersion"));
}

TEST_F(InstallTest, RefusedDesktopShortcutStillCompletesTheInstall) {
  m.links.save_failures[desktop_link] = static_cast<int32_t>(0x80070005);

  ASSERT_TRUE(run({.desktop_shortcut = true, .autostart = true}));
  EXPECT_EQ(reports, kSuccessfulReports);
  EXPECT_TRUE(m.files.exists(start_link));
  EXPECT_FALSE(m.files.exists(desktop_link));
  EXPECT_TRUE(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"));
  EXPECT_EQ(uninstall_value("DisplayVersion"), kSetupVersion);
  EXPECT_EQ(m.links.open_interfaces, 0);
}

TEST_F(InstallTest, FailedUninstallEntryKeepsTheOldApplicationKeys) {
  m.registry.add_key(RegistryRoot::CurrentUser, "Software\\vestrana\\vestrana");
  m.registry.fail_set_value("DisplayName", 5);

  EXPECT_THAT(failure_of(run()), HasSubstr("\\DisplayName: WIN32_ERROR(5)"));
  EXPECT_EQ(reports, kSuccessfulReports);
  EXPECT_TRUE(m.registry.has_key(RegistryRoot::CurrentUser, "Software\\vestrana\\vestrana"));

  m.registry.fail_set_value("DisplayName", 0);
  ASSERT_TRUE(run());
  EXPECT_FALSE(m.registry.has_key(RegistryRoot::CurrentUser, "Software\\vestrana"));
}

TEST_F(InstallTest, RemoveInstallFilesSparesTheRunningProgramAndForeignFiles) {
  std::string folder = "D:\\Old\\vestrana";
  for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe", "notes.txt"}) {
    m.files.add_file(folder + "\\" + name, "x");
  }
  m.processes.own_path = folder + "\\uninstall.exe";

  remove_install_files(m.platform, folder);
  EXPECT_THAT(m.files.paths_under(folder), ElementsAre("notes.txt", "uninstall.exe"));
}

}  // namespace
}  // namespace vestrana
