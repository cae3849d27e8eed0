// The program's run from options to exit code, with the machine and the
// window faked.
#include "setup_flow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_platform.h"
#include "fakes/fake_startup_host.h"
#include "fakes/test_archive.h"
#include "system/registry_entries.h"
#include "system/win_path.h"
#include "system/webview2.h"

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using testing::FakeMachine;
using ::testing::HasSubstr;
using ::testing::Not;

using testing::FakeStartupHost;

const std::string kDir = FakeMachine::kInstallDir;
const std::string kApp = kDir + "\\vestrana.exe";
const std::string kUninstaller = kDir + "\\uninstall.exe";
const std::string kCopy = "C:\\Temp\\vestrana-uninstall-9.exe";

class SetupFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.processes.own_path = "C:\\Users\\u\\Downloads\\vestrana-setup.exe";
    m.files.add_file(*m.processes.own_path, "SETUP");
    m.registry.put_string(kWebView2ClientKeys[2].root, kWebView2ClientKeys[2].path, "pv", "120.0.1.2");
  }
  int run(std::string_view command_line) { return run_setup(parse_command_line(command_line), m.platform, host); }
  void installed(std::string version, std::string location = FakeMachine::kInstallDir) {
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", version);
    m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "InstallLocation", location);
  }
  std::string started_command_line(size_t i) { return m.processes.started.at(i).command_line; }
  LaunchOptions started_options(size_t i) { return parse_command_line(started_command_line(i)); }
  // This run is the temporary copy that a removal's first stage started from
  // an installation recorded in the default folder.
  void run_as_copy() {
    installed("1.2.1");
    m.files.add_file(kUninstaller, "UNINSTALLER");
    m.processes.own_path = kCopy;
    m.files.add_file(kCopy, "SETUP");
  }
  // The install folder holds the three files of ours.
  void add_our_files() {
    for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
      m.files.add_file(kDir + "\\" + name, "OURS");
    }
  }
  // Runs what was started as the i-th program, which holds the handles it inherited.
  int run_started(size_t i) {
    ProcessStart start = m.processes.started.at(i);
    m.processes.own_path = start.program;
    for (uint64_t value : start.passed_handles) m.processes.open_handles[value] = "inherited";
    return run(start.command_line);
  }

  FakeMachine m;
  FakeStartupHost host;
};

TEST_F(SetupFlowTest, SecondSetupBringsTheFirstForwardAndEndsWithOne) {
  host.lock = StartupHost::Lock::AlreadyRunning;
  EXPECT_EQ(run("setup.exe --silent"), 1);
  EXPECT_EQ(host.brought_forward, 1);
  EXPECT_FALSE(m.files.exists(kApp));
}

TEST_F(SetupFlowTest, AnUnavailableLockDoesNotStopTheRun) {
  host.lock = StartupHost::Lock::Unavailable;
  EXPECT_EQ(run("setup.exe /S"), 0);
  EXPECT_TRUE(m.files.exists(kApp));
}

TEST(InstanceLock, WhatCreatingTheMutexSays) {
  using Lock = StartupHost::Lock;
  struct Case {
    bool created;
    uint32_t last_error;
    Lock expected;
  };
  for (Case c :
       {Case{true, 0, Lock::Acquired}, Case{true, 183, Lock::AlreadyRunning}, Case{false, 5, Lock::AlreadyRunning},
        Case{false, 183, Lock::Unavailable}, Case{false, 8, Lock::Unavailable}, Case{true, 5, Lock::Acquired}}) {
    EXPECT_EQ(instance_lock_from(c.created, c.last_error), c.expected) << c.created << " " << c.last_error;
  }
}

TEST_F(SetupFlowTest, SilentInstallExitCodeFollowsTheProcedure) {
  EXPECT_EQ(run("setup.exe --silent"), 0);
  EXPECT_EQ(host.lock_requests, 1);
  EXPECT_FALSE(host.window);

  host.archive.back() ^= 0xFF;
  EXPECT_EQ(run("setup.exe --silent"), 1);
}

TEST_F(SetupFlowTest, SilentInstallKeepsTheInstalledChoices) {
  installed("1.2.0");
  m.registry.put_string(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana", "old");
  ASSERT_EQ(run("setup.exe --silent"), 0);
  // No desktop shortcut existed, so none is made; autostart was on, so it stays.
  EXPECT_FALSE(m.files.exists(std::string(FakeMachine::kDesktop) + "\\vestrana.lnk"));
  EXPECT_TRUE(m.registry.string_value(RegistryRoot::CurrentUser, kRunKeyPath, "vestrana"));
}

TEST_F(SetupFlowTest, RemovalFromTheEntryRelaunchesATemporaryCopyWithoutTheLock) {
  m.processes.own_path = kUninstaller;
  m.files.add_file(kUninstaller, "UNINSTALLER");
  m.processes.default_exit_code = 0;

  EXPECT_EQ(run("\"C:\\x\\uninstall.exe\" --uninstall --silent"), 0);
  EXPECT_EQ(host.lock_requests, 0);
  ASSERT_EQ(m.processes.started.size(), 1u);
  LaunchOptions copy = started_options(0);
  EXPECT_TRUE(copy.uninstall_flag && copy.from_temp && copy.silent);
  EXPECT_EQ(copy.dir, kDir);
}

TEST_F(SetupFlowTest, SilentRemovalInTheCopyLeavesTheUninstallerToTheCleanupHelper) {
  m.files.add_file(kApp, "APP");
  run_as_copy();
  m.processes.open_handles[0x58] = "process 9";

  EXPECT_EQ(run("copy.exe --uninstall --from-temp --dir \"" + kDir + "\" --after 88 --silent"), 0);
  EXPECT_TRUE(m.files.exists(kUninstaller));
  EXPECT_FALSE(m.files.exists(kApp));
  ASSERT_EQ(m.processes.started.size(), 1u);
  LaunchOptions helper = started_options(0);
  EXPECT_TRUE(helper.cleanup);
  EXPECT_EQ(helper.after.size(), 2u);
  EXPECT_EQ(helper.after.back(), 88u);  // stage 1, whose file it deletes
  EXPECT_EQ(helper.copy, kCopy);
  EXPECT_EQ(helper.dir, kDir);
}

TEST_F(SetupFlowTest, ASilentRemovalRefusedByAnElevatedAppEndsWithOneAndKeepsTheInstallation) {
  m.processes.add(5, "vestrana.exe", kApp);
  m.processes.processes.back().elevated = true;
  run_as_copy();

  EXPECT_EQ(run("copy.exe --uninstall --from-temp --dir \"" + kDir + "\" --silent"), 1);
  EXPECT_TRUE(m.files.exists(kUninstaller));
  EXPECT_TRUE(m.processes.running(5));
  ASSERT_EQ(m.processes.started.size(), 1u);
  // The helper deletes only the copy: the installation is still there.
  EXPECT_EQ(started_options(0).dir, std::nullopt);
}

TEST_F(SetupFlowTest, ACopyThatDidNotRemoveDeletesOnlyItself) {
  run_as_copy();
  EXPECT_EQ(run("copy.exe --from-temp --dir D:\\somewhere"), 0);
  ASSERT_TRUE(host.window);
  EXPECT_EQ(started_options(0).copy, kCopy);
  EXPECT_EQ(started_options(0).dir, std::nullopt);
}

TEST_F(SetupFlowTest, ACopyThatFindsAnotherSetupStillHasItselfDeleted) {
  host.lock = StartupHost::Lock::AlreadyRunning;
  run_as_copy();
  EXPECT_EQ(run("copy.exe --uninstall --from-temp --silent"), 1);
  ASSERT_EQ(m.processes.started.size(), 1u);
  EXPECT_EQ(started_options(0).copy, kCopy);
  EXPECT_EQ(started_options(0).dir, std::nullopt);
}

TEST_F(SetupFlowTest, TheCleanupHelperNeverTakesTheLockAndKeepsARunningInstallsFolder) {
  m.files.add_file(kUninstaller, "NEW UNINSTALLER");
  m.files.add_file(kCopy, "SETUP");
  m.processes.inherited_processes = {88};
  std::string helper = "helper.exe --cleanup --after 88 --copy " + kCopy + " --dir " + kDir;
  host.other_setup = true;
  EXPECT_EQ(run(helper), 0);
  EXPECT_EQ(host.lock_requests, 0);
  EXPECT_FALSE(host.window);
  EXPECT_FALSE(m.files.exists(kCopy));
  EXPECT_TRUE(m.files.exists(kUninstaller));
  host.other_setup = false;
  EXPECT_EQ(run(helper), 0);
  EXPECT_FALSE(m.files.exists(kDir));
}

TEST_F(SetupFlowTest, InteractiveRunChoosesModeOptionsTitleAndTarget) {
  installed("1.2.0", "D:\\Apps\\vestrana");
  m.files.add_file(std::string(FakeMachine::kDesktop) + "\\vestrana.lnk", "link");
  m.registry.put_dword(RegistryRoot::CurrentUser, kPersonalizeKeyPath, "AppsUseLightTheme", 0);
  host.window_exit = 0;

  EXPECT_EQ(run("setup.exe"), 0);
  ASSERT_TRUE(host.window);
  EXPECT_EQ(host.window->mode, Mode::update("1.2.0"));
  EXPECT_EQ(host.window->options, (std::vector<bool>{true, false}));
  EXPECT_EQ(host.window->title, "vestrana Setup");
  EXPECT_TRUE(host.window->dark);
  EXPECT_EQ(host.window->target_folder, "D:\\Apps\\vestrana");
}

TEST_F(SetupFlowTest, InteractiveRemovalInGermanTargetsTheGivenFolder) {
  installed("1.2.1");
  host.language = language_for_langid(0x0407);
  host.window_exit = 1;  // the window could not be created
  m.processes.own_path = kCopy;
  m.files.add_file("E:\\my apps\\vestrana\\vestrana.exe", "APP");  // an installation of ours

  EXPECT_EQ(run("copy.exe --uninstall --from-temp --dir \"E:\\my apps\\vestrana\""), 1);
  ASSERT_TRUE(host.window);
  EXPECT_EQ(host.window->mode, Mode::remove());
  EXPECT_EQ(host.window->options, (std::vector<bool>{false}));
  EXPECT_EQ(host.window->title, "vestrana entfernen");
  EXPECT_EQ(host.window->target_folder, "E:\\my apps\\vestrana");
}

// A removal from the first stage to the delayed command, with a folder that
// is not ours (Downloads, holding someone else's "uninstall.exe" and a
// library named like ours) next to the setup.
struct RemovalCase {
  const char* label;
  const char* command_line;  // stage 1, started from Downloads unless from_install_folder
  bool installed;  // an entry records the default install folder
  bool from_install_folder;  // started as that folder's uninstall.exe
  bool app_in_install_folder;  // that folder holds the three files
  bool files_removed;  // they are gone after the removal
  bool completed;  // the delayed command removes the folder
};

void PrintTo(const RemovalCase& c, std::ostream* os) { *os << c.label; }

class RemovalTargets : public SetupFlowTest, public ::testing::WithParamInterface<RemovalCase> {};

TEST_P(RemovalTargets, TouchOnlyOurInstallation) {
  const RemovalCase& c = GetParam();
  const std::string downloads = "C:\\Users\\u\\Downloads";
  m.files.add_file(downloads + "\\uninstall.exe", "FOREIGN");
  m.files.add_file(downloads + "\\WebView2Loader.dll", "FOREIGN");
  if (c.installed) installed("1.2.1");
  if (c.app_in_install_folder) add_our_files();
  if (c.from_install_folder) m.processes.own_path = kUninstaller;

  // Stage 1 hands over to the temporary copy; stage 2 is that copy.
  ASSERT_EQ(run(c.command_line), 0);
  ASSERT_EQ(m.processes.started.size(), 1u);
  std::string copy = m.processes.started[0].program;
  ASSERT_EQ(run_started(0), 0);
  ASSERT_EQ(m.processes.started.size(), 2u);  // the copy, then the cleanup helper
  std::string helper_line = started_command_line(1);
  LaunchOptions helper = parse_command_line(helper_line);

  EXPECT_EQ(m.files.text(downloads + "\\uninstall.exe"), "FOREIGN");
  EXPECT_EQ(m.files.text(downloads + "\\WebView2Loader.dll"), "FOREIGN");
  EXPECT_THAT(helper_line, Not(HasSubstr(downloads)));
  EXPECT_EQ(helper.copy, copy);
  EXPECT_EQ(m.files.exists(kApp), c.app_in_install_folder && !c.files_removed);
  EXPECT_EQ(helper.dir == kDir, c.completed);
  EXPECT_FALSE(m.registry.string_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemovalTargets,
    ::testing::Values(
        RemovalCase{"nothing_installed_silent", "setup.exe --uninstall --silent", false, false, false, false, false},
        // Closing the question window removes nothing and completes nothing.
        RemovalCase{"nothing_installed_window_closed", "setup.exe --uninstall", false, false, false, false, false},
        RemovalCase{"nothing_installed_foreign_dir", "setup.exe --uninstall /S --dir C:\\Users\\u\\Downloads", false,
                    false, false, false, false},
        RemovalCase{"installed_elsewhere_silent", "setup.exe --uninstall --silent", true, false, true, true, true},
        // A folder that holds no installation gives way to the recorded one,
        // so the entry never goes while its folder stays.
        RemovalCase{"installed_elsewhere_foreign_dir", "setup.exe --uninstall /S --dir C:\\Users\\u\\Downloads", true,
                    false, true, true, true},
        RemovalCase{"from_the_installed_uninstaller", "uninstall.exe --uninstall --silent", true, true, true, true,
                    true},
        // The entry is lost but the folder holds our program: its files go,
        // but with nothing recorded the removal does not count as completed.
        RemovalCase{"lost_entry_from_the_install_folder", "uninstall.exe --uninstall --silent", false, true, true, true,
                    false}),
    [](const ::testing::TestParamInfo<RemovalCase>& info) { return info.param.label; });

// An entry that names a folder which cannot be ours (another program's, a
// network share, a drive root, a way out of a folder named vestrana): an
// update installs into the default folder and a removal removes that one,
// and in the named folder nothing is deleted, no program is ended, and a
// network path is not even opened.
struct ForeignEntryCase {
  const char* label;
  const char* location;  // what the entry records
  const char* holder;  // the folder the machine really has behind it
};

void PrintTo(const ForeignEntryCase& c, std::ostream* os) { *os << c.label; }

class ForeignEntry : public SetupFlowTest, public ::testing::WithParamInterface<ForeignEntryCase> {
 protected:
  const std::vector<std::string> names = {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe", "other.dat"};

  void SetUp() override {
    SetupFlowTest::SetUp();
    installed("1.2.0", GetParam().location);
    for (const std::string& name : names) m.files.add_file(holder(name), "OTHER " + name);
    add_our_files();
    m.files.add_file(std::string(FakeMachine::kPrograms) + "\\vestrana.lnk", "link");
    m.processes.add(7, "vestrana.exe", holder("vestrana.exe"));
    m.processes.add(8, "vestrana.exe", kApp);
  }
  std::string holder(const std::string& name) { return join_path(GetParam().holder, name); }

  void expect_named_folder_untouched() {
    for (const std::string& name : names) EXPECT_EQ(m.files.text(holder(name)), "OTHER " + name) << name;
    EXPECT_THAT(m.processes.terminated, ElementsAre(8));
    for (const std::string& line : m.files.log()) {
      EXPECT_THAT(line, Not(HasSubstr("server"))) << "a network path was opened";
    }
  }
};

TEST_P(ForeignEntry, AnUpdateInstallsIntoTheDefaultFolderAndLeavesTheNamedOneAlone) {
  ASSERT_EQ(run("setup.exe --silent"), 0);

  expect_named_folder_untouched();
  EXPECT_EQ(m.files.text(kApp), "APP");
  EXPECT_EQ(m.files.text(kUninstaller), "SETUP");
  EXPECT_EQ(m.registry.string_value(RegistryRoot::CurrentUser, kUninstallKeyPath, "InstallLocation"), kDir);
}

TEST_P(ForeignEntry, ARemovalRemovesTheDefaultFolderAndLeavesTheNamedOneAlone) {
  for (bool from_install_folder : {false, true}) {
    SCOPED_TRACE(from_install_folder ? "from the installed uninstaller" : "from Downloads");
    if (from_install_folder) {
      installed("1.2.0", GetParam().location);
      m.files.add_file(kApp, "OURS");
      m.files.add_file(kUninstaller, "OURS");
      m.processes.add(8, "vestrana.exe", kApp);
      m.processes.own_path = kUninstaller;
      m.processes.started.clear();
      m.processes.terminated.clear();
    }
    ASSERT_EQ(run("setup.exe --uninstall --silent"), 0);
    ASSERT_EQ(m.processes.started.size(), 1u);
    EXPECT_EQ(started_options(0).dir, kDir);
    ASSERT_EQ(run_started(0), 0);

    expect_named_folder_untouched();
    EXPECT_FALSE(m.files.exists(kApp));
    EXPECT_FALSE(m.files.exists(std::string(FakeMachine::kPrograms) + "\\vestrana.lnk"));
    EXPECT_FALSE(m.registry.has_key(RegistryRoot::CurrentUser, kUninstallKeyPath));
    ASSERT_EQ(m.processes.started.size(), 2u);
    EXPECT_EQ(started_options(1).dir, kDir);
    EXPECT_THAT(started_command_line(1), Not(HasSubstr(GetParam().holder)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Locations, ForeignEntry,
    ::testing::Values(ForeignEntryCase{"other_program", "C:\\Users\\u\\AppData\\Local\\Other",
                                       "C:\\Users\\u\\AppData\\Local\\Other"},
                      ForeignEntryCase{"network_share", "\\\\server\\share\\vestrana", "\\\\server\\share\\vestrana"},
                      ForeignEntryCase{"drive_root", "D:\\", "D:\\"},
                      ForeignEntryCase{"out_of_a_vestrana_folder", "D:\\Tools\\vestrana\\..", "D:\\Tools"}),
    [](const ::testing::TestParamInfo<ForeignEntryCase>& info) { return info.param.label; });

// Started as the LocalSystem account, every kind of run stops before it
// reads or changes anything: no lock, no registry, no file, no process.
struct LocalSystemCase {
  const char* command_line;
  bool window;  // the run shows why in its window
  const char* title;
};

class LocalSystem : public SetupFlowTest, public ::testing::WithParamInterface<LocalSystemCase> {};

TEST_P(LocalSystem, StopsBeforeTouchingAnything) {
  host.local_system = true;
  host.language = language_for_langid(0x0407);
  installed("1.2.0");
  m.registry.calls.clear();
  m.files.clear_log();

  EXPECT_EQ(run(GetParam().command_line), 1);

  EXPECT_EQ(host.lock_requests, 0);
  EXPECT_THAT(m.registry.calls, ::testing::IsEmpty());
  EXPECT_THAT(m.files.log(), ::testing::IsEmpty());
  EXPECT_THAT(m.processes.started, ::testing::IsEmpty());
  ASSERT_EQ(host.window.has_value(), GetParam().window);
  if (GetParam().window) {
    EXPECT_EQ(host.window->refusal,
              "vestrana wird für eine Person installiert. Starte dieses Setup in deinem eigenen Benutzerkonto, nicht "
              "als System.");
    EXPECT_EQ(host.window->title, GetParam().title);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, LocalSystem,
    ::testing::Values(LocalSystemCase{"setup.exe --silent", false, ""},
                      LocalSystemCase{"setup.exe", true, "vestrana Setup"},
                      LocalSystemCase{"uninstall.exe --uninstall --silent", false, ""},
                      LocalSystemCase{"uninstall.exe --uninstall", true, "vestrana entfernen"},
                      LocalSystemCase{"copy.exe --uninstall --from-temp --dir C:\\x\\vestrana --silent", false, ""},
                      LocalSystemCase{"copy.exe --uninstall --from-temp --dir C:\\x\\vestrana", true,
                                      "vestrana entfernen"}));

}  // namespace
}  // namespace vestrana
