#include "payload/self_removal.h"

#include <map>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command_line.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_known_folders.h"
#include "fakes/fake_process_api.h"
#include "system/registry_entries.h"

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kTemp = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\";
constexpr const char* kCopy = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\vestrana-uninstall-4242.exe";
constexpr const char* kInstalled = "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana";
const std::string kOwn = std::string(kInstalled) + "\\uninstall.exe";

// Every case table names its rows by their label, in test names and in
// failure messages alike.
template <class Case>
requires requires(const Case& c) { c.label; }
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

template <class Case>
std::string label_of(const ::testing::TestParamInfo<Case>& info) {
  return info.param.label;
}

class RelaunchTest : public ::testing::Test {
 protected:
  RelaunchTest() {
    processes.own_path = kOwn;
    files.add_file(*processes.own_path, "MZ uninstaller bytes");
    files.add_folder(kTemp);
    files.set_temp_folder(std::string(kTemp));
    folders.folders[KnownFolder::LocalAppData] = "C:\\Users\\Ada Lovelace\\AppData\\Local";
  }

  int relaunch(const std::optional<std::string>& dir, bool silent) {
    return relaunch_from_temp(processes, files, folders, dir, recorded, silent);
  }

  const ProcessStart& only_start() {
    EXPECT_EQ(processes.started.size(), 1u);
    return processes.started.at(0);
  }

  FakeProcessApi processes;
  FakeFileSystem files;
  FakeKnownFolders folders;
  std::optional<std::string> recorded;  // the installed entry's folder
};

TEST_F(RelaunchTest, CopiesItselfAndStartsTheCopyWithoutWaiting) {
  files.add_file(kCopy, "a stale copy of an earlier run with the same process id");
  std::map<uint64_t, std::string> passed;
  processes.on_start = [&](const ProcessStart&) { passed = processes.open_handles; };

  EXPECT_EQ(relaunch(std::nullopt, false), 0);

  EXPECT_EQ(files.text(kCopy), "MZ uninstaller bytes");
  const ProcessStart& start = only_start();
  EXPECT_EQ(start.program, kCopy);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.creation_flags, 0u);
  EXPECT_EQ(start.working_folder, kTemp);  // not the install folder it may have been started in
  // The copy inherits this process's handle and nothing else, and learns its value.
  ASSERT_EQ(start.passed_handles.size(), 1u);
  uint64_t own = start.passed_handles[0];
  EXPECT_EQ(passed[own], "process 4242");
  EXPECT_THAT(split_command_line(start.command_line),
              ElementsAre(kCopy, "--uninstall", "--from-temp", "--dir", kInstalled, "--after", std::to_string(own)));
  EXPECT_THAT(processes.open_handles, IsEmpty());  // closed once the copy has its own
}

struct FolderCase {
  const char* label;
  std::optional<std::string> dir;
  std::optional<std::string> own_path;
  std::string expected_folder;
  std::optional<std::string> recorded = std::nullopt;
};

class RelaunchFolder : public RelaunchTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RelaunchFolder, ReachesTheCopyAsOneWord) {
  const FolderCase& c = GetParam();
  processes.own_path = c.own_path;
  recorded = c.recorded;
  if (c.own_path) files.add_file(*c.own_path, "MZ");
  processes.exit_codes[kCopy] = 3;

  // A silent run waits for the copy and passes its exit code on.
  ASSERT_EQ(relaunch(c.dir, true), 3);
  EXPECT_TRUE(only_start().wait);
  LaunchOptions options = parse_command_line(only_start().command_line);
  EXPECT_TRUE(options.uninstall_flag);
  EXPECT_TRUE(options.from_temp);
  EXPECT_TRUE(options.silent);
  EXPECT_EQ(options.dir, c.expected_folder);
  EXPECT_EQ(split_command_line(only_start().command_line).back(), "--silent");
  EXPECT_EQ(options.after, only_start().passed_handles);
  // A network path is never opened, not even to compare it.
  for (const std::string& line : files.log()) EXPECT_EQ(line.find("\\\\server"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RelaunchFolder,
    ::testing::Values(
        FolderCase{"given_with_blanks", "D:\\My Apps\\vestrana", kOwn, "D:\\My Apps\\vestrana"},
        // A backslash before the closing quote must not swallow it.
        FolderCase{"given_with_trailing_backslash", "D:\\My Apps\\vestrana\\", kOwn, "D:\\My Apps\\vestrana\\"},
        FolderCase{"program_folder", std::nullopt, "E:\\Tools\\v s\\vestrana\\uninstall.exe",
                   "E:\\Tools\\v s\\vestrana"},
        FolderCase{"default_when_program_has_no_folder", std::nullopt, "uninstall.exe",
                   "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana"},
        // A setup started with --uninstall from Downloads removes the recorded
        // installation, not Downloads.
        FolderCase{"recorded_elsewhere_wins_over_program_folder", std::nullopt,
                   "C:\\Users\\Ada Lovelace\\Downloads\\vestrana-setup.exe", kInstalled, std::string(kInstalled)},
        FolderCase{"program_folder_is_the_recorded_one_in_other_case", std::nullopt,
                   "C:\\USERS\\ada lovelace\\appdata\\local\\VESTRANA\\uninstall.exe",
                   "C:\\USERS\\ada lovelace\\appdata\\local\\VESTRANA", std::string(kInstalled)},
        FolderCase{"given_wins_over_recorded", "D:\\vestrana", kOwn, "D:\\vestrana", "E:\\vestrana"},
        // Folders that cannot be ours count as not named: the next choice is
        // handed on instead.
        FolderCase{"given_looking_like_a_flag", "--silent", kOwn, kInstalled},
        FolderCase{"given_empty", "", kOwn, kInstalled},
        FolderCase{"given_foreign_then_recorded", "C:\\Users\\Ada Lovelace\\Downloads", kOwn, "E:\\vestrana",
                   "E:\\vestrana"},
        FolderCase{"given_network_path", "\\\\server\\share\\vestrana", kOwn, kInstalled},
        FolderCase{"empty_recorded_ignored", std::nullopt, "E:\\vestrana\\uninstall.exe", "E:\\vestrana", ""},
        FolderCase{"foreign_recorded_ignored", std::nullopt, "E:\\vestrana\\uninstall.exe", "E:\\vestrana",
                   "\\\\server\\share\\Other"},
        FolderCase{"foreign_program_folder_and_recorded_give_the_default", std::nullopt,
                   "C:\\Users\\Ada Lovelace\\Downloads\\vestrana-setup.exe", kInstalled, "C:\\Program Files\\Other"}),
    label_of<FolderCase>);

struct FailureCase {
  const char* label;
  bool silent;
  void (*arrange)(FakeProcessApi&, FakeFileSystem&);
};

class RelaunchFailure : public RelaunchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RelaunchFailure, EndsWithExitCodeOne) {
  GetParam().arrange(processes, files);
  EXPECT_EQ(relaunch(std::nullopt, GetParam().silent), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RelaunchFailure,
    ::testing::Values(
        FailureCase{"no_own_path", false, [](FakeProcessApi& p, FakeFileSystem&) { p.own_path.reset(); }},
        FailureCase{"no_temp_folder", false,
                    [](FakeProcessApi&, FakeFileSystem& f) { f.set_temp_folder(std::nullopt); }},
        FailureCase{"program_unreadable", false,
                    [](FakeProcessApi& p, FakeFileSystem& f) {
                      f.fail(FakeFileSystem::Op::ReadFile, *p.own_path, fake_os_error(32));
                    }},
        FailureCase{"copy_not_writable", false,
                    [](FakeProcessApi&, FakeFileSystem& f) { f.fail_write(kCopy, fake_os_error(5)); }},
        FailureCase{"start_fails", false, [](FakeProcessApi& p, FakeFileSystem&) { p.start_fails = true; }},
        FailureCase{"silent_start_fails", true, [](FakeProcessApi& p, FakeFileSystem&) { p.start_fails = true; }},
        FailureCase{"silent_exit_code_unreadable", true,
                    [](FakeProcessApi& p, FakeFileSystem&) { p.exit_code_readable = false; }}),
    label_of<FailureCase>);

TEST_F(RelaunchTest, NothingIsStartedAndNoPartialCopyIsLeftWhenTheCopyFails) {
  files.fail_write(kCopy, fake_os_error(112));
  EXPECT_EQ(relaunch(std::nullopt, false), 1);
  EXPECT_THAT(processes.started, IsEmpty());
  EXPECT_FALSE(files.exists(kCopy));
}

// Whatever already has the copy's name is removed itself, never written through.
constexpr const char* kVictim = "C:\\Users\\Ada Lovelace\\Documents\\thesis.exe";
constexpr const char* kBox = "C:\\Users\\Ada Lovelace\\Documents\\box";

struct PlantedCase {
  const char* label;
  void (*plant)(FakeFileSystem&);
  bool relaunches;
};

class RelaunchOverPlanted : public RelaunchTest, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(RelaunchOverPlanted, NeverWritesThroughIt) {
  files.add_file(kVictim, "precious");
  files.add_folder(kBox);
  GetParam().plant(files);

  EXPECT_EQ(relaunch(std::nullopt, false), GetParam().relaunches ? 0 : 1);

  EXPECT_EQ(files.text(kVictim), "precious");
  std::optional<std::vector<FolderEntry>> box = files.list_folder(kBox);
  ASSERT_TRUE(box);
  EXPECT_THAT(*box, IsEmpty());
  if (GetParam().relaunches) {
    EXPECT_FALSE(files.is_link(kCopy));
    EXPECT_EQ(files.text(kCopy), "MZ uninstaller bytes");
  } else {
    EXPECT_THAT(processes.started, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, RelaunchOverPlanted,
    ::testing::Values(PlantedCase{"file_link", [](FakeFileSystem& f) { f.add_link(kCopy, kVictim, false); }, true},
                      PlantedCase{"folder_junction", [](FakeFileSystem& f) { f.add_link(kCopy, kBox, true); }, true},
                      PlantedCase{"undeletable_link",
                                  [](FakeFileSystem& f) {
                                    f.add_link(kCopy, kVictim, false);
                                    f.fail(FakeFileSystem::Op::DeleteFile, kCopy, fake_os_error(5));
                                    f.fail(FakeFileSystem::Op::RemoveFolder, kCopy, fake_os_error(5));
                                  },
                                  false}),
    label_of<PlantedCase>);

// ---- Stage 2 starts the cleanup helper ----

using testing::FakeMachine;
constexpr const char* kStageTwo = "C:\\Users\\u\\AppData\\Local\\Temp\\vestrana-uninstall-17.exe";
constexpr const char* kHelper = "C:\\Users\\u\\AppData\\Local\\Temp\\vestrana-cleanup-4242.exe";
constexpr uint64_t kStageOne = 0x58;  // the handle on stage 1 that this stage inherited

class ScheduleTest : public ::testing::Test {
 protected:
  ScheduleTest() {
    m.processes.own_path = kStageTwo;
    m.files.add_file(kStageTwo, "MZ setup");
    m.processes.open_handles[kStageOne] = "process 17";
    m.processes.on_start = [&](const ProcessStart&) { at_start = m.processes.open_handles; };
  }
  void schedule(const std::string& folder, bool completed) {
    schedule_self_removal(m.processes, m.files, {kStageOne}, folder, completed);
  }
  FakeMachine m;
  std::map<uint64_t, std::string> at_start;
};

TEST_F(ScheduleTest, StartsTheHelperFromACopyThatGoesWithItAndPassesOnlyItsHandles) {
  schedule(FakeMachine::kInstallDir, true);

  ASSERT_EQ(m.processes.started.size(), 1u);
  const ProcessStart& start = m.processes.started[0];
  EXPECT_EQ(start.program, kHelper);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.creation_flags, 0x08000000u);  // CREATE_NO_WINDOW: no console flashes up for the helper
  EXPECT_EQ(start.working_folder, FakeMachine::kTemp);  // never the folder it removes
  ASSERT_EQ(start.passed_handles.size(), 3u);
  auto [own, stage_one, image] = std::tuple(start.passed_handles[0], start.passed_handles[1], start.passed_handles[2]);
  EXPECT_EQ(at_start[own], "process 4242");
  EXPECT_EQ(stage_one, kStageOne);
  EXPECT_EQ(at_start[image], std::string("delete on close ") + kHelper);
  EXPECT_THAT(split_command_line(start.command_line),
              ElementsAre(kHelper, "--cleanup", "--after", std::to_string(own), "--after", std::to_string(kStageOne),
                          "--copy", kStageTwo, "--dir", FakeMachine::kInstallDir));
  // The helper's file stays while the helper runs and goes when it ends.
  EXPECT_EQ(m.files.text(kHelper), "MZ setup");
  EXPECT_THAT(m.processes.deleted_at_child_exit, ElementsAre(kHelper));
}

TEST_F(ScheduleTest, OnlyACompletedRemovalOfOurFolderNamesTheFolder) {
  for (auto [folder, completed] : {std::pair<std::string, bool>{FakeMachine::kInstallDir, false},
                                   {"", true},
                                   {"C:\\Users\\u\\AppData\\Local\\Other", true}}) {
    SCOPED_TRACE(folder);
    m.processes.started.clear();
    schedule(folder, completed);
    ASSERT_EQ(m.processes.started.size(), 1u);
    LaunchOptions helper = parse_command_line(m.processes.started[0].command_line);
    EXPECT_TRUE(helper.cleanup);
    EXPECT_EQ(helper.copy, kStageTwo);
    EXPECT_EQ(helper.dir, std::nullopt);
  }
}

// No interpreter reads the paths any more: every character comes back as
// written, however long the path.
TEST_F(ScheduleTest, PathsWithInterpreterCharactersAndPastMaxPathReachTheHelperExactly) {
  std::string deep = "D:\\R&D %APPDATA% ^x (old)!\\";
  while (deep.size() < 300) deep += "a-folder-name-that-is-thirty-two\\";
  deep += "vestrana";
  std::string copy = "C:\\Users\\u\\AppData\\Local\\Temp\\50% off & more!\\vestrana-uninstall-17.exe";
  m.processes.own_path = copy;
  m.files.add_file(copy, "MZ setup");
  schedule(deep, true);
  ASSERT_EQ(m.processes.started.size(), 1u);
  LaunchOptions helper = parse_command_line(m.processes.started[0].command_line);
  EXPECT_EQ(helper.copy, copy);
  EXPECT_EQ(helper.dir, deep);
}

struct HelperFailure {
  const char* label;
  void (*arrange)(FakeMachine&);
};

class ScheduleFailure : public ScheduleTest, public ::testing::WithParamInterface<HelperFailure> {};

// Nothing of ours may stay in the temporary folder when the helper cannot run.
TEST_P(ScheduleFailure, LeavesNoHelperFileBehind) {
  GetParam().arrange(m);
  schedule(FakeMachine::kInstallDir, true);
  EXPECT_FALSE(m.files.exists(kHelper));
  m.processes.open_handles.erase(kStageOne);
  EXPECT_THAT(m.processes.open_handles, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, ScheduleFailure,
    ::testing::Values(HelperFailure{"start_fails", [](FakeMachine& m) { m.processes.start_fails = true; }},
                      HelperFailure{"no_delete_on_close", [](FakeMachine& m) { m.processes.passing_fails = true; }},
                      HelperFailure{"write_fails",
                                    [](FakeMachine& m) { m.files.fail_write(kHelper, fake_os_error(112)); }},
                      // A handle value that names nothing: CreateProcessW refuses the list.
                      HelperFailure{"stale_handle", [](FakeMachine& m) { m.processes.open_handles.erase(kStageOne); }}),
    label_of<HelperFailure>);

// ---- Stage 3, the helper ----

class CleanupTest : public ::testing::Test {
 protected:
  const std::string dir = FakeMachine::kInstallDir;
  CleanupTest() {
    m.files.add_file(kStageTwo, "MZ setup");
    m.files.add_file(dir + "\\uninstall.exe", "MZ setup");
    m.processes.inherited_processes = {kStageOne, 0x5c};
  }
  int clean(std::optional<std::string> folder = FakeMachine::kInstallDir) {
    CleanupRequest request{{kStageOne, 0x5c}, std::string(kStageTwo), std::move(folder)};
    return run_cleanup(m.platform, request, [&] { return setup_running(); });
  }
  FakeMachine m;
  std::function<bool()> setup_running = [] { return false; };
};

TEST_F(CleanupTest, WaitsForEveryProcessThenDeletesCopyUninstallerAndFolder) {
  m.processes.on_waited = [&](uint64_t) { EXPECT_TRUE(m.files.exists(kStageTwo)) << "deleted before the wait"; };
  EXPECT_EQ(clean(), 0);
  EXPECT_THAT(m.processes.waited, ElementsAre(kStageOne, 0x5c));
  EXPECT_FALSE(m.files.exists(kStageTwo));
  EXPECT_FALSE(m.files.exists(dir));
}

struct KeptCase {
  const char* label;
  void (*arrange)(FakeMachine&, std::function<bool()>&);
  bool uninstaller_stays;
  bool folder_stays;
  bool completed = true;  // the removal named the folder
  int exit_code = 0;
  bool copy_stays = false;
};

class CleanupKeeps : public CleanupTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(CleanupKeeps, WhatIsNotItsToDelete) {
  const KeptCase& c = GetParam();
  c.arrange(m, setup_running);
  EXPECT_EQ(c.completed ? clean() : clean(std::nullopt), c.exit_code);
  EXPECT_EQ(m.files.exists(kStageTwo), c.copy_stays);
  EXPECT_EQ(m.files.exists(dir + "\\uninstall.exe"), c.uninstaller_stays);
  EXPECT_EQ(m.files.exists(dir), c.folder_stays);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanupKeeps,
    ::testing::Values(
        KeptCase{"a_value_that_is_no_process_handle_deletes_nothing",
                 [](FakeMachine& m, std::function<bool()>&) { m.processes.inherited_processes = {kStageOne}; }, true,
                 true, true, 1, true},
        KeptCase{"an_incomplete_removal_deletes_only_the_copy", [](FakeMachine&, std::function<bool()>&) {}, true, true,
                 false},
        // A deployment script that installs right after a removal: the helper,
        // still running, must not take the new installation's uninstaller or folder.
        KeptCase{"app_program_there",
                 [](FakeMachine& m, std::function<bool()>&) {
                   m.files.add_file(std::string(FakeMachine::kInstallDir) + "\\vestrana.exe", "APP");
                 },
                 true, true},
        KeptCase{"entry_recorded",
                 [](FakeMachine& m, std::function<bool()>&) {
                   m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", "1.2.1");
                 },
                 true, true},
        KeptCase{"install_running", [](FakeMachine&, std::function<bool()>& running) { running = [] { return true; }; },
                 true, true},
        // Asked right before each delete: an install that starts after the
        // uninstaller went keeps its (still empty) folder.
        KeptCase{"install_starts_between_the_deletes",
                 [](FakeMachine&, std::function<bool()>& running) {
                   running = [calls = 0]() mutable { return ++calls > 1; };
                 },
                 false, true},
        // An installation that appears while the helper waits.
        KeptCase{"app_installed_during_the_wait",
                 [](FakeMachine& m, std::function<bool()>&) {
                   m.processes.on_waited = [&m](uint64_t) {
                     m.files.add_file(std::string(FakeMachine::kInstallDir) + "\\vestrana.exe", "APP");
                   };
                 },
                 true, true},
        KeptCase{"foreign_file_keeps_only_the_folder",
                 [](FakeMachine& m, std::function<bool()>&) {
                   m.files.add_file(std::string(FakeMachine::kInstallDir) + "\\notes.txt", "mine");
                 },
                 false, true}),
    label_of<KeptCase>);

// The copy's predictable name may be replaced while the helper waits; what is
// there then is deleted only when it is a plain file, and never followed.
constexpr const char* kVictimFile = "C:\\Users\\u\\Documents\\thesis.docx";
constexpr const char* kVictimBox = "C:\\Users\\u\\Documents\\box";

TEST_F(CleanupTest, ACopyReplacedByALinkIsNeitherFollowedNorDeleted) {
  for (bool folder_link : {true, false}) {
    SCOPED_TRACE(folder_link);
    m.files.add_file(kVictimFile, "precious");
    m.files.add_file(std::string(kVictimBox) + "\\a.txt", "precious");
    m.processes.on_waited = [&](uint64_t) {
      m.files.delete_file(kStageTwo);
      m.files.add_link(kStageTwo, folder_link ? kVictimBox : kVictimFile, folder_link);
    };
    clean(std::nullopt);
    EXPECT_TRUE(m.files.is_link(kStageTwo));
    EXPECT_EQ(m.files.text(kVictimFile), "precious");
    EXPECT_EQ(m.files.text(std::string(kVictimBox) + "\\a.txt"), "precious");
    m.files.remove_folder(kStageTwo);
    m.files.delete_file(kStageTwo);
  }
}

TEST_F(CleanupTest, AnInstallFolderThatBecameALinkHasNothingDeletedThroughIt) {
  m.files.add_file(std::string(kVictimBox) + "\\uninstall.exe", "someone else's");
  m.files.swap_for_link(dir, "C:\\Users\\u\\AppData\\Local\\aside", kVictimBox);
  clean();
  EXPECT_EQ(m.files.text(std::string(kVictimBox) + "\\uninstall.exe"), "someone else's");
  EXPECT_TRUE(m.files.is_link(dir));
}

}  // namespace
}  // namespace vestrana
