#include "system/app_processes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "command_line.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_process_api.h"

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kFolder = "C:\\Users\\ada\\AppData\\Local\\vestrana";

struct MatchCase {
  const char* label;
  std::string exe_name;
  std::string image_path;
  std::vector<std::string> folders;
  bool ended;
  // The user's AppData moved to another disk and linked back by a junction.
  bool moved_appdata = false;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.label; }

class CloseAppMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(CloseAppMatching, EndsOnlyTheAppStartedFromAGivenFolder) {
  const MatchCase& c = GetParam();
  FakeProcessApi processes;
  FakeFileSystem files;
  if (c.moved_appdata) {
    files.add_file("E:\\Moved\\AppData\\Local\\vestrana\\vestrana.exe", "app");
    files.add_file("E:\\Moved\\AppData\\Local\\other\\vestrana\\vestrana.exe", "app");
    files.add_folder("C:\\Users\\ada");
    files.add_link("C:\\Users\\ada\\AppData", "E:\\Moved\\AppData");
  }
  processes.add(7, c.exe_name, c.image_path);

  std::vector<uint32_t> reported = close_app_processes(processes, files, c.folders).apps;

  EXPECT_EQ(reported, c.ended ? std::vector<uint32_t>{7} : std::vector<uint32_t>{});
  if (c.ended) {
    EXPECT_THAT(processes.terminated, ElementsAre(7u));
  } else {
    EXPECT_THAT(processes.end_attempts, IsEmpty());
    EXPECT_TRUE(processes.running(7));
  }
}

const std::string kInFolder = std::string(kFolder) + "\\vestrana.exe";

INSTANTIATE_TEST_SUITE_P(
    Rules, CloseAppMatching,
    ::testing::Values(
        MatchCase{"exact", "vestrana.exe", kInFolder, {kFolder}, true},
        MatchCase{"name_in_capitals", "VESTRANA.EXE", kInFolder, {kFolder}, true},
        MatchCase{
            "folder_in_other_case", "vestrana.exe", kInFolder, {"c:\\USERS\\ada\\appdata\\local\\VESTRANA"}, true},
        MatchCase{"second_folder_matches", "vestrana.exe", "D:\\old\\vestrana.exe", {kFolder, "D:\\old"}, true},
        MatchCase{"other_folder", "vestrana.exe", "D:\\elsewhere\\vestrana.exe", {kFolder}, false},
        MatchCase{"subfolder", "vestrana.exe", std::string(kFolder) + "\\sub\\vestrana.exe", {kFolder}, false},
        MatchCase{"one_more_character", "vestranax.exe", kInFolder, {kFolder}, false},
        MatchCase{"prefix_of_name", "vestrana.ex", kInFolder, {kFolder}, false},
        MatchCase{"setup_itself", "uninstall.exe", kInFolder, {kFolder}, false},
        // Only ASCII letters fold: a non-ASCII look-alike is another name.
        MatchCase{"non_ascii_letter", "vestr\xC3\xA0na.exe", kInFolder, {kFolder}, false},
        MatchCase{"trailing_backslash", "vestrana.exe", kInFolder, {std::string(kFolder) + "\\"}, false},
        MatchCase{"forward_slashes_differ", "vestrana.exe", kInFolder, {"C:/Users/ada/AppData/Local/vestrana"}, false},
        MatchCase{"image_without_folder", "vestrana.exe", "vestrana.exe", {""}, false},
        MatchCase{"no_folders", "vestrana.exe", kInFolder, {}, false},
        // Through the junction, the image path and the given folder may each
        // be written either way; their final paths decide.
        MatchCase{"image_resolved_folder_through_link",
                  "vestrana.exe",
                  "E:\\Moved\\AppData\\Local\\vestrana\\vestrana.exe",
                  {kFolder},
                  true,
                  true},
        MatchCase{"image_through_link_folder_resolved",
                  "vestrana.exe",
                  kInFolder,
                  {"e:\\moved\\appdata\\local\\VESTRANA"},
                  true,
                  true},
        MatchCase{"other_folder_behind_the_link",
                  "vestrana.exe",
                  "E:\\Moved\\AppData\\Local\\other\\vestrana\\vestrana.exe",
                  {kFolder},
                  false,
                  true},
        MatchCase{"folder_that_does_not_resolve",
                  "vestrana.exe",
                  "E:\\Moved\\AppData\\Local\\vestrana\\vestrana.exe",
                  {"C:\\Users\\ada\\AppData\\Local\\gone\\vestrana"},
                  false,
                  true}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return info.param.label; });

TEST(CloseAppProcesses, EndsEveryMatchInSnapshotOrderWithCodeZeroAndFiveSecondWait) {
  FakeProcessApi processes;
  FakeFileSystem files;
  processes.add(30, "vestrana.exe", kInFolder);
  processes.add(5, "explorer.exe", std::string("C:\\Windows\\explorer.exe"));
  processes.add(12, "Vestrana.exe", kInFolder);

  (void)close_app_processes(processes, files, {kFolder});

  EXPECT_THAT(processes.terminated, ElementsAre(30u, 12u));
  ASSERT_EQ(processes.end_attempts.size(), 2u);
  for (const auto& attempt : processes.end_attempts) {
    EXPECT_EQ(attempt.exit_code, 0u);
    EXPECT_EQ(attempt.timeout_ms, 5000u);
  }
  // The other program's path is never even asked for.
  EXPECT_THAT(processes.queried, ElementsAre(30u, 12u));
  EXPECT_TRUE(processes.running(5));
}

TEST(CloseAppProcesses, SkipsProcessesThatCannotBeOpenedAndGoesOn) {
  FakeProcessApi processes;
  FakeFileSystem files;
  processes.add(1, "vestrana.exe", kInFolder);
  processes.processes.back().can_query = false;  // another user's copy
  processes.add(2, "vestrana.exe", std::nullopt);  // path cannot be read
  processes.add(4, "vestrana.exe", kInFolder);

  (void)close_app_processes(processes, files, {kFolder});

  std::vector<uint32_t> attempted;
  for (const auto& attempt : processes.end_attempts) attempted.push_back(attempt.pid);
  EXPECT_THAT(attempted, ElementsAre(4u));
  EXPECT_THAT(processes.terminated, ElementsAre(4u));
  EXPECT_TRUE(processes.running(1));
  EXPECT_TRUE(processes.running(2));
}

TEST(CloseAppProcesses, AnIdGivenToAnotherProcessDuringTheWaitIsNeverEnded) {
  FakeProcessApi processes;
  FakeFileSystem files;
  processes.add(30, "vestrana.exe", kInFolder);
  processes.add(31, "vestrana.exe", kInFolder);
  // While the first candidate is waited for, the second one ends by itself
  // and the system gives its ID to an unrelated program of the same name.
  processes.during_wait = [&] {
    if (processes.running(31) && processes.find(31)->image_path == kInFolder) {
      processes.exit(31);
      processes.add(31, "vestrana.exe", std::string("D:\\Portable\\vestrana.exe"));
    }
  };

  (void)close_app_processes(processes, files, {kFolder});

  EXPECT_THAT(processes.terminated, ElementsAre(30u));
  ASSERT_TRUE(processes.running(31));
  EXPECT_EQ(processes.find(31)->image_path, "D:\\Portable\\vestrana.exe");
}

TEST(CloseAppProcesses, EndsNothingWhenTheSnapshotFails) {
  FakeProcessApi processes;
  FakeFileSystem files;
  processes.add(1, "vestrana.exe", kInFolder);
  processes.snapshot_fails = true;

  (void)close_app_processes(processes, files, {kFolder});

  EXPECT_THAT(processes.end_attempts, IsEmpty());
}

// Rights are asked for apart from the look-up: an elevated copy of ours is
// recognised and refused, and then nothing is ended.
struct RightsCase {
  const char* label;
  std::function<void(FakeProcessApi&)> arrange;
  std::vector<uint32_t> ended;
  std::vector<uint32_t> refused;
};

void PrintTo(const RightsCase& c, std::ostream* os) { *os << c.label; }

class CloseAppRights : public ::testing::TestWithParam<RightsCase> {};

TEST_P(CloseAppRights, EndsOnlyWhatItHoldsEndRightsOn) {
  const RightsCase& c = GetParam();
  FakeProcessApi processes;
  FakeFileSystem files;
  c.arrange(processes);
  std::vector<uint32_t> before;
  for (const FakeProcess& p : processes.processes) before.push_back(p.pid);

  ClosedApps closed = close_app_processes(processes, files, {kFolder});

  EXPECT_EQ(closed.apps, c.ended);
  EXPECT_EQ(closed.refused, c.refused);
  EXPECT_EQ(processes.terminated, c.ended);
  for (uint32_t pid : before) {
    bool ended = std::find(c.ended.begin(), c.ended.end(), pid) != c.ended.end();
    EXPECT_EQ(processes.running(pid), !ended) << pid;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CloseAppRights,
                         ::testing::Values(RightsCase{"elevated_copy_of_ours_stops_all",
                                                      [](FakeProcessApi& p) {
                                                        p.add(7, "vestrana.exe", kInFolder);
                                                        p.add(8, "vestrana.exe", kInFolder);
                                                        p.processes.back().elevated = true;
                                                      },
                                                      {},
                                                      {8}},
                                           RightsCase{"elevated_foreign_copy_is_not_ours",
                                                      [](FakeProcessApi& p) {
                                                        p.add(7, "vestrana.exe",
                                                              std::string("D:\\Portable\\vestrana.exe"));
                                                        p.processes.back().elevated = true;
                                                        p.add(8, "vestrana.exe", kInFolder);
                                                      },
                                                      {8},
                                                      {}},
                                           RightsCase{"id_reused_between_the_two_opens",
                                                      [](FakeProcessApi& p) {
                                                        p.add(7, "vestrana.exe", kInFolder);
                                                        p.add(8, "vestrana.exe", kInFolder);
                                                        p.before_reopen = [&p](uint32_t pid) {
                                                          if (pid != 7 || p.find(7)->image_path != kInFolder) return;
                                                          p.exit(7);
                                                          p.add(7, "notepad.exe",
                                                                std::string("C:\\Windows\\notepad.exe"));
                                                        };
                                                      },
                                                      {8},
                                                      {}}),
                         [](const ::testing::TestParamInfo<RightsCase>& info) { return info.param.label; });

// The WebView2 processes of our copy hold its user data: they are ended
// after it, and only those whose parent chain truly leads to it.
TEST(CloseAppProcesses, EndsTheBrowserProcessesOfOurCopyOnly) {
  FakeProcessApi processes;
  FakeFileSystem files;
  auto add = [&](uint32_t pid, const char* name, const char* image, uint32_t parent, uint64_t created) {
    processes.add(pid, name, std::string(image), parent);
    processes.processes.back().creation_time = created;
  };
  const char* browser = "C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\msedgewebview2.exe";
  // The grandchild comes first in the snapshot: the chain is followed in any order.
  add(21, "msedgewebview2.exe", browser, 20, 300);
  add(10, "vestrana.exe", kInFolder.c_str(), 1, 100);
  add(20, "MsEdgeWebView2.exe", browser, 10, 200);
  add(22, "notepad.exe", "C:\\Windows\\notepad.exe", 10, 250);  // not a browser process
  add(30, "vestrana.exe", "D:\\Portable\\vestrana.exe", 1, 100);  // not ours
  add(31, "msedgewebview2.exe", browser, 30, 200);
  // Older than the copy that now holds its parent's ID: its parent was another process.
  add(40, "msedgewebview2.exe", browser, 50, 100);
  add(50, "vestrana.exe", kInFolder.c_str(), 1, 150);

  ClosedApps closed = close_app_processes(processes, files, {kFolder});

  EXPECT_THAT(closed.apps, ElementsAre(10u, 50u));
  EXPECT_THAT(closed.browsers, ElementsAre(21u, 20u));
  EXPECT_THAT(processes.terminated, ElementsAre(10u, 50u, 21u, 20u));
  for (uint32_t pid : {22u, 30u, 31u, 40u}) EXPECT_TRUE(processes.running(pid)) << pid;
}

TEST(LaunchApp, StartsTheAppInTheFolderWithoutArgumentsOrWaiting) {
  FakeProcessApi processes;
  launch_app(processes, "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana");

  ASSERT_EQ(processes.started.size(), 1u);
  const ProcessStart& start = processes.started[0];
  EXPECT_EQ(start.program, "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana\\vestrana.exe");
  EXPECT_EQ(start.command_line, "\"C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana\\vestrana.exe\"");
  EXPECT_THAT(split_command_line(start.command_line), ElementsAre(start.program));
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.creation_flags, 0u);
  // Never the setup's own current folder, which may be a stick to be pulled out.
  EXPECT_EQ(start.working_folder, "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana");
  EXPECT_THAT(start.passed_handles, IsEmpty());
}

}  // namespace
}  // namespace vestrana
