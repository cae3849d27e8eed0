// The removal procedure against a machine in memory: what goes, what stays,
// in which order, and that only an app it cannot end stops it.
#include "payload/uninstall.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "base/progress.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using testing::FakeMachine;

using Report = std::pair<Step, float>;

constexpr std::string_view kRefusal = "vestrana runs elevated";
// What a whole removal reports: each step's start and end fraction.
const std::vector<Report> kReports = {{Step::ClosingApp, 0.0f}, {Step::ClosingApp, 0.15f}, {Step::Removing, 0.15f},
                                      {Step::Removing, 0.9f},   {Step::Finishing, 0.9f},   {Step::Finishing, 1.0f}};

class UninstallTest : public ::testing::Test {
 protected:
  const std::string dir = FakeMachine::kInstallDir;
  const std::string start_link = std::string(FakeMachine::kPrograms) + "\\vestrana.lnk";
  const std::string desktop_link = std::string(FakeMachine::kDesktop) + "\\vestrana.lnk";
  const std::string local_data = std::string(FakeMachine::kLocal) + "\\com.vestrana.desktop";
  const std::string roaming_data = std::string(FakeMachine::kRoaming) + "\\com.vestrana.desktop";

  void SetUp() override {
    // Stage 2 runs from a temporary copy, not from the install folder.
    m.processes.own_path = "C:\\Users\\u\\AppData\\Local\\Temp\\vestrana-uninstall-77.exe";
    for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
      m.files.add_file(dir + "\\" + name, "installed");
    }
    m.files.add_file(start_link, "link");
    m.files.add_file(desktop_link, "link");
    m.files.add_file(local_data + "\\EBWebView\\Local State", "{}");
    m.files.add_file(roaming_data + "\\settings.json", "{}");
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", "1.2.1");
    m.registry.put_string(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana", "\"x\" --background");
    m.registry.put_string(RegistryRoot::CurrentUser, kRunKeyPath, "other", "stays");
    m.registry.add_key(RegistryRoot::CurrentUser, kAppKeyPath);
    record->observe_reports([this](Step step, float fraction) { reports.emplace_back(step, fraction); });
  }

  void run(bool delete_user_data) { EXPECT_TRUE(uninstall(m.platform, *record, dir, delete_user_data, kRefusal)); }

  FakeMachine m;
  ProgressRef record = create_progress_record();
  std::vector<Report> reports;
};

// A copy of ours running elevated cannot be ended, and its files could not
// be deleted: the removal stops before anything is touched.
TEST_F(UninstallTest, AnElevatedAppStopsTheRemovalBeforeAnythingIsTouched) {
  m.processes.add(5, "vestrana.exe", dir + "\\vestrana.exe");
  m.processes.add(6, "vestrana.exe", dir + "\\vestrana.exe");
  m.processes.processes.back().elevated = true;
  const std::vector<std::string> before = m.files.all_paths();

  Result result = uninstall(m.platform, *record, dir, true, kRefusal);

  ASSERT_FALSE(result);
  EXPECT_EQ(result.failure_text(), kRefusal);
  EXPECT_TRUE(m.processes.terminated.empty());
  EXPECT_EQ(m.files.all_paths(), before);
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion"), "1.2.1");
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"), "\"x\" --background");
  // Only the closing step ran, as a failed step of the install does.
  EXPECT_EQ(reports, std::vector<Report>(kReports.begin(), kReports.begin() + 2));
}

TEST_F(UninstallTest, RemovesEverythingTheInstallLeftInPacedSteps) {
  m.processes.add(5, "VESTRANA.EXE", dir + "\\VESTRANA.EXE");
  m.processes.add(6, "vestrana.exe", "D:\\other\\vestrana.exe");

  run(false);
  EXPECT_EQ(reports, kReports);
  EXPECT_THAT(m.clock.sleeps(), ElementsAre(450ms, 1100ms, 300ms));
  EXPECT_THAT(m.processes.terminated, ElementsAre(5));
  EXPECT_FALSE(m.files.exists(dir));
  EXPECT_FALSE(m.files.exists(start_link));
  EXPECT_FALSE(m.files.exists(desktop_link));
  EXPECT_FALSE(m.registry.has_key(RegistryRoot::CurrentUser, kUninstallKeyPath));
  EXPECT_FALSE(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"));
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "other"), "stays");
  EXPECT_FALSE(m.registry.has_key(RegistryRoot::CurrentUser, kAppParentKeyPath));
  // Sign-in and settings stay unless asked for.
  EXPECT_TRUE(m.files.exists(local_data + "\\EBWebView\\Local State"));
  EXPECT_TRUE(m.files.exists(roaming_data + "\\settings.json"));
}

TEST_F(UninstallTest, UserDataGoesOnRequestWithoutFollowingLinksOutOfIt) {
  m.files.add_file("D:\\Documents\\precious.txt", "mine");
  m.files.add_link(local_data + "\\shortcut-to-documents", "D:\\Documents");

  run(true);
  EXPECT_FALSE(m.files.exists(local_data));
  EXPECT_FALSE(m.files.exists(roaming_data));
  EXPECT_EQ(m.files.text("D:\\Documents\\precious.txt"), "mine");
}

// The app's browser processes hold its user data for a while after the app
// has ended; the user data has 10 s for that, the installed files keep 3 s.
TEST_F(UninstallTest, UserDataHeldForSixSecondsIsStillDeletedAndALongerHoldIsPassedOver) {
  const std::string lockfile = local_data + "\\EBWebView\\lockfile";
  const std::string cookies = roaming_data + "\\Cookies";
  m.files.add_file(lockfile, "");
  m.files.add_file(cookies, "c");
  m.files.hold(lockfile, m.clock, m.clock.now() + 6s);
  m.files.hold(cookies, m.clock, m.clock.now() + 60s);
  m.files.hold(dir + "\\WebView2Loader.dll", m.clock, m.clock.now() + 6s);

  Clock::TimePoint started = m.clock.now();
  run(true);
  EXPECT_FALSE(m.files.exists(local_data));
  // Outlasting the budget: that file stays, the removal still completes.
  EXPECT_TRUE(m.files.exists(cookies));
  EXPECT_TRUE(m.files.exists(dir + "\\WebView2Loader.dll"));
  EXPECT_EQ(reports.back(), Report(Step::Finishing, 1.0f));
  // One budget for both folders, not one per folder.
  EXPECT_LT(m.clock.now() - started, kHoldRetryLimit + kUserDataHoldLimit + 1s);
}

TEST_F(UninstallTest, ReadOnlyFilesAndFoldersAndInterruptedWritesLeaveNothing) {
  m.files.set_read_only(dir + "\\vestrana.exe");
  m.files.add_file(dir + "\\vestrana.new", "half written", /*read_only=*/true);
  m.files.add_file(dir + "\\WebView2Loader.new", "half written");
  m.files.add_file(local_data + "\\EBWebView\\Default\\Login Data", "secret", /*read_only=*/true);
  m.files.set_read_only(local_data + "\\EBWebView\\Default");
  m.files.set_read_only(roaming_data);
  m.files.set_read_only(roaming_data + "\\settings.json");

  run(true);
  EXPECT_FALSE(m.files.exists(dir));
  EXPECT_FALSE(m.files.exists(local_data));
  EXPECT_FALSE(m.files.exists(roaming_data));
}

TEST_F(UninstallTest, ForeignFilesAndTheRunningUninstallerKeepTheFolder) {
  m.files.add_file(dir + "\\crash.dmp", "x");
  m.processes.own_path = dir + "\\uninstall.exe";

  run(false);
  EXPECT_THAT(m.files.paths_under(dir), ElementsAre("crash.dmp", "uninstall.exe"));
}

// In a silent removal stage 1 runs from uninstall.exe until this stage ends:
// the file cannot be deleted, and trying would spend the whole hold budget.
TEST_F(UninstallTest, AnUninstallerLeftToTheCleanupCostsNoTimeAndStaysWithItsFolder) {
  m.files.set_in_use(dir + "\\uninstall.exe");
  (void)uninstall(m.platform, *record, dir, false, kRefusal, true);
  EXPECT_THAT(m.clock.sleeps(), ElementsAre(450ms, 1100ms, 300ms));
  EXPECT_THAT(m.files.paths_under(dir), ElementsAre("uninstall.exe"));
  // Not left to the cleanup, the same file takes the hold retry's pauses.
  (void)uninstall(m.platform, *record, dir, false, kRefusal, false);
  EXPECT_GT(m.clock.sleeps().size(), 6u);
}

TEST_F(UninstallTest, ASecondRemovalOfNothingStillCompletes) {
  run(true);
  reports.clear();
  run(true);
  EXPECT_EQ(reports, kReports);
}

// Without a folder, or with one that cannot be ours, the removal ends no
// program and deletes no file in a folder: only what it finds by its own
// names goes.
TEST_F(UninstallTest, WithoutAFolderOfOursNoFileOutsideIsTouched) {
  const std::string other = "C:\\Users\\u\\AppData\\Local\\Other";
  for (const std::string& folder : {std::string(), other, std::string("vestrana")}) {
    SCOPED_TRACE(folder);
    for (const char* name : {"vestrana.exe", "uninstall.exe"}) {
      m.files.add_file(join_path(folder, name), "someone else's");
    }
    m.processes.add(7, "vestrana.exe", join_path(folder, "vestrana.exe"));
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", "1.2.1");

    (void)uninstall(m.platform, *record, folder, false, kRefusal);

    EXPECT_EQ(m.files.text(join_path(folder, "vestrana.exe")), "someone else's");
    EXPECT_EQ(m.files.text(join_path(folder, "uninstall.exe")), "someone else's");
    EXPECT_TRUE(m.processes.end_attempts.empty());
    EXPECT_FALSE(m.registry.has_key(RegistryRoot::CurrentUser, kUninstallKeyPath));
    EXPECT_FALSE(m.files.exists(start_link));
  }
}

}  // namespace
}  // namespace vestrana
