#include "system/app_processes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command_line.h"
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
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.label; }

class CloseAppMatching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(CloseAppMatching, EndsOnlyTheAppStartedFromAGivenFolder) {
  const MatchCase& c = GetParam();
  FakeProcessApi processes;
  processes.add(7, c.exe_name, c.image_path);

  std::vector<uint32_t> reported = close_app_processes(processes, c.folders);

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
        MatchCase{"no_folders", "vestrana.exe", kInFolder, {}, false}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return info.param.label; });

TEST(CloseAppProcesses, EndsEveryMatchInSnapshotOrderWithCodeZeroAndFiveSecondWait) {
  FakeProcessApi processes;
  processes.add(30, "vestrana.exe", kInFolder);
  processes.add(5, "explorer.exe", std::string("C:\\Windows\\explorer.exe"));
  processes.add(12, "Vestrana.exe", kInFolder);

  close_app_processes(processes, {kFolder});

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
  processes.add(1, "vestrana.exe", kInFolder);
  processes.processes.back().can_query = false;  // another user's copy
  processes.add(2, "vestrana.exe", std::nullopt);  // path cannot be read
  processes.add(3, "vestrana.exe", kInFolder);
  processes.processes.back().can_end = false;  // may be looked at, but not ended
  processes.add(4, "vestrana.exe", kInFolder);

  close_app_processes(processes, {kFolder});

  std::vector<uint32_t> attempted;
  for (const auto& attempt : processes.end_attempts) attempted.push_back(attempt.pid);
  EXPECT_THAT(attempted, ElementsAre(4u));
  EXPECT_THAT(processes.terminated, ElementsAre(4u));
  EXPECT_TRUE(processes.running(1));
  EXPECT_TRUE(processes.running(3));
}

TEST(CloseAppProcesses, AnIdGivenToAnotherProcessDuringTheWaitIsNeverEnded) {
  FakeProcessApi processes;
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

  close_app_processes(processes, {kFolder});

  EXPECT_THAT(processes.terminated, ElementsAre(30u));
  ASSERT_TRUE(processes.running(31));
  EXPECT_EQ(processes.find(31)->image_path, "D:\\Portable\\vestrana.exe");
}

TEST(CloseAppProcesses, EndsNothingWhenTheSnapshotFails) {
  FakeProcessApi processes;
  processes.add(1, "vestrana.exe", kInFolder);
  processes.snapshot_fails = true;

  close_app_processes(processes, {kFolder});

  EXPECT_THAT(processes.end_attempts, IsEmpty());
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
