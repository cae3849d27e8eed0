#include "payload/self_removal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "command_line.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_known_folders.h"
#include "fakes/fake_process_api.h"

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kDelay = "/d /v:off /c ping 127.0.0.1 -n 3 > nul";
constexpr const char* kTemp = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\";
constexpr const char* kCopy = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\vestrana-uninstall-4242.exe";
constexpr const char* kInstalled = "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana";
const std::string kOwn = std::string(kInstalled) + "\\uninstall.exe";

// The part that removes what is left of an installation in `folder`.
std::string folder_part(const std::string& folder) {
  return " & (if not exist \"" + folder + "\\vestrana.exe\" del /f /q \"" + folder + "\\uninstall.exe\") & rmdir \"" +
         folder + "\"";
}

struct CommandCase {
  const char* label;
  std::optional<std::string> program;
  std::optional<std::string> folder;
  std::string expected;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.label; }

class RemovalCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RemovalCommand, IsBuiltExactly) {
  const CommandCase& c = GetParam();
  EXPECT_EQ(removal_command_text(c.program, c.folder), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RemovalCommand,
    ::testing::Values(
        CommandCase{"nothing_to_delete", std::nullopt, std::nullopt, kDelay},
        CommandCase{"own_file_only", std::string("C:\\Temp\\vestrana-uninstall-7.exe"), std::nullopt,
                    std::string(kDelay) + " & del /f /q \"C:\\Temp\\vestrana-uninstall-7.exe\""},
        // The uninstaller goes only while no new install has put the app back.
        CommandCase{"completed_removal_with_blanks", std::string(kCopy), std::string(kInstalled),
                    std::string(kDelay) + " & del /f /q \"" + kCopy + "\"" + folder_part(kInstalled)},
        // Inside quotes the interpreter takes these literally, the closing
        // parenthesis and (with /v:off) the exclamation mark included.
        CommandCase{"ampersand_caret_parentheses_exclamation", std::string("C:\\R&D ^x (old)!\\a.exe"),
                    std::string("C:\\R&D ^x (old)!"),
                    std::string(kDelay) + " & del /f /q \"C:\\R&D ^x (old)!\\a.exe\"" +
                        folder_part("C:\\R&D ^x (old)!")},
        // %name% would be expanded even inside quotes: those parts are left out.
        CommandCase{"percent_left_out", std::string(kCopy), std::string("C:\\%APPDATA%"),
                    std::string(kDelay) + " & del /f /q \"" + kCopy + "\""},
        // A quote or line break would let the rest run as commands.
        CommandCase{"quote_left_out", std::string("C:\\x\" & format c: & \"y\\a.exe"),
                    std::string("C:\\x\" & format c: & \""), kDelay},
        CommandCase{"line_break_left_out", std::string("C:\\a\r\nb.exe"), std::string("C:\\a\nb"), kDelay},
        CommandCase{"empty_folder_left_out", std::nullopt, std::string(""), kDelay}),
    [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.label; });

class SelfRemovalTest : public ::testing::Test {
 protected:
  SelfRemovalTest() {
    processes.own_path = kCopy;
    processes.system_dir = "C:\\WINDOWS\\system32";
  }
  FakeProcessApi processes;
};

TEST_F(SelfRemovalTest, CompletedRemovalDeletesCopyUninstallerAndFolderThroughHiddenInterpreter) {
  schedule_self_removal(processes, kInstalled, true);

  ASSERT_EQ(processes.started.size(), 1u);
  const ProcessStart& start = processes.started[0];
  EXPECT_EQ(start.program, "C:\\WINDOWS\\system32\\cmd.exe");
  EXPECT_EQ(start.command_line,
            std::string("cmd.exe ") + kDelay + " & del /f /q \"" + kCopy + "\"" + folder_part(kInstalled));
  EXPECT_EQ(start.creation_flags, 0x08000000u);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.working_folder, "C:\\WINDOWS\\system32");  // never inside the folder it removes
}

TEST_F(SelfRemovalTest, IncompleteRemovalDeletesOnlyTheRunningProgram) {
  schedule_self_removal(processes, kInstalled, false);

  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].command_line,
            std::string("cmd.exe ") + kDelay + " & del /f /q \"" + kCopy + "\"");
}

TEST_F(SelfRemovalTest, WithoutOwnPathOnlyTheFolderPartIsLeft) {
  processes.own_path.reset();
  schedule_self_removal(processes, "D:\\vestrana", true);

  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].command_line, std::string("cmd.exe ") + kDelay + folder_part("D:\\vestrana"));
}

TEST_F(SelfRemovalTest, NoFolderOrOneThatCannotBeOursMeansNothingOutsideTheTemporaryFolderIsDeleted) {
  // Without a folder, "uninstall.exe" would name a file relative to wherever
  // the interpreter starts; another program's folder keeps its uninstaller.
  for (const char* folder : {"", "C:\\Users\\Ada Lovelace\\AppData\\Local\\Other", "\\\\server\\share\\vestrana"}) {
    SCOPED_TRACE(folder);
    processes.started.clear();
    schedule_self_removal(processes, folder, true);

    ASSERT_EQ(processes.started.size(), 1u);
    EXPECT_EQ(processes.started[0].command_line, std::string("cmd.exe ") + kDelay + " & del /f /q \"" + kCopy + "\"");
  }
}

TEST_F(SelfRemovalTest, UnknownSystemFolderStartsNothingRatherThanSearching) {
  processes.system_dir.reset();
  schedule_self_removal(processes, kInstalled, true);
  EXPECT_THAT(processes.started, IsEmpty());
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

  EXPECT_EQ(relaunch(std::nullopt, false), 0);

  EXPECT_EQ(files.text(kCopy), "MZ uninstaller bytes");
  const ProcessStart& start = only_start();
  EXPECT_EQ(start.program, kCopy);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.creation_flags, 0u);
  EXPECT_EQ(start.working_folder, kTemp);  // not the install folder it may have been started in
  EXPECT_THAT(split_command_line(start.command_line),
              ElementsAre(kCopy, "--uninstall", "--from-temp", "--dir", kInstalled));
}

struct FolderCase {
  const char* label;
  std::optional<std::string> dir;
  std::optional<std::string> own_path;
  std::string expected_folder;
  std::optional<std::string> recorded = std::nullopt;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.label; }

class RelaunchFolder : public RelaunchTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RelaunchFolder, ReachesTheCopyAsOneWord) {
  const FolderCase& c = GetParam();
  processes.own_path = c.own_path;
  recorded = c.recorded;
  if (c.own_path) files.add_file(*c.own_path, "MZ");

  ASSERT_EQ(relaunch(c.dir, true), 0);

  LaunchOptions options = parse_command_line(only_start().command_line);
  EXPECT_TRUE(options.uninstall_flag);
  EXPECT_TRUE(options.from_temp);
  EXPECT_TRUE(options.silent);
  EXPECT_EQ(options.dir, c.expected_folder);
  EXPECT_EQ(split_command_line(only_start().command_line).back(), "--silent");
  // A network path is never opened, not even to compare it.
  for (const std::string& line : files.log()) EXPECT_EQ(line.find("\\\\server"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RelaunchFolder,
    ::testing::Values(
        FolderCase{"given_with_blanks", std::string("D:\\My Apps\\vestrana"), kOwn,
                   "D:\\My Apps\\vestrana"},
        // A backslash before the closing quote must not swallow it.
        FolderCase{"given_with_trailing_backslash", std::string("D:\\My Apps\\vestrana\\"), kOwn,
                   "D:\\My Apps\\vestrana\\"},
        FolderCase{"program_folder", std::nullopt, std::string("E:\\Tools\\v s\\vestrana\\uninstall.exe"),
                   "E:\\Tools\\v s\\vestrana"},
        FolderCase{"default_when_program_has_no_folder", std::nullopt, std::string("uninstall.exe"),
                   "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana"},
        // A setup started with --uninstall from Downloads removes the recorded
        // installation, not Downloads.
        FolderCase{"recorded_elsewhere_wins_over_program_folder", std::nullopt,
                   std::string("C:\\Users\\Ada Lovelace\\Downloads\\vestrana-setup.exe"), kInstalled,
                   std::string(kInstalled)},
        FolderCase{"program_folder_is_the_recorded_one_in_other_case", std::nullopt,
                   std::string("C:\\USERS\\ada lovelace\\appdata\\local\\VESTRANA\\uninstall.exe"),
                   "C:\\USERS\\ada lovelace\\appdata\\local\\VESTRANA", std::string(kInstalled)},
        FolderCase{"given_wins_over_recorded", std::string("D:\\vestrana"), kOwn, "D:\\vestrana",
                   std::string("E:\\vestrana")},
        // Folders that cannot be ours count as not named: the next choice is
        // handed on instead.
        FolderCase{"given_looking_like_a_flag", std::string("--silent"), kOwn, kInstalled},
        FolderCase{"given_empty", std::string(""), kOwn, kInstalled},
        FolderCase{"given_foreign_then_recorded", std::string("C:\\Users\\Ada Lovelace\\Downloads"), kOwn,
                   "E:\\vestrana", std::string("E:\\vestrana")},
        FolderCase{"given_network_path", std::string("\\\\server\\share\\vestrana"), kOwn, kInstalled},
        FolderCase{"empty_recorded_ignored", std::nullopt, std::string("E:\\vestrana\\uninstall.exe"),
                   "E:\\vestrana", std::string("")},
        FolderCase{"foreign_recorded_ignored", std::nullopt, std::string("E:\\vestrana\\uninstall.exe"),
                   "E:\\vestrana", std::string("\\\\server\\share\\Other")},
        FolderCase{"foreign_program_folder_and_recorded_give_the_default", std::nullopt,
                   std::string("C:\\Users\\Ada Lovelace\\Downloads\\vestrana-setup.exe"), kInstalled,
                   std::string("C:\\Program Files\\Other")}),
    [](const ::testing::TestParamInfo<FolderCase>& info) { return info.param.label; });

TEST_F(RelaunchTest, SilentRunWaitsAndPassesOnTheCopysExitCode) {
  processes.exit_codes[kCopy] = 3;

  EXPECT_EQ(relaunch(std::nullopt, true), 3);

  EXPECT_TRUE(only_start().wait);
}

struct FailureCase {
  const char* label;
  bool silent;
  void (*arrange)(FakeProcessApi&, FakeFileSystem&);
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.label; }

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
                    [](FakeProcessApi&, FakeFileSystem& f) {
                      f.fail_write(kCopy, fake_os_error(5));
                    }},
        FailureCase{"start_fails", false, [](FakeProcessApi& p, FakeFileSystem&) { p.start_fails = true; }},
        FailureCase{"silent_start_fails", true, [](FakeProcessApi& p, FakeFileSystem&) { p.start_fails = true; }},
        FailureCase{"silent_exit_code_unreadable", true,
                    [](FakeProcessApi& p, FakeFileSystem&) { p.exit_code_readable = false; }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.label; });

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

void PrintTo(const PlantedCase& c, std::ostream* os) { *os << c.label; }

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
    ::testing::Values(
        PlantedCase{"file_link", [](FakeFileSystem& f) { f.add_link(kCopy, kVictim, false); }, true},
        PlantedCase{"folder_junction", [](FakeFileSystem& f) { f.add_link(kCopy, kBox, true); }, true},
        PlantedCase{"undeletable_link",
                    [](FakeFileSystem& f) {
                      f.add_link(kCopy, kVictim, false);
                      f.fail(FakeFileSystem::Op::DeleteFile, kCopy, fake_os_error(5));
                      f.fail(FakeFileSystem::Op::RemoveFolder, kCopy, fake_os_error(5));
                    },
                    false}),
    [](const ::testing::TestParamInfo<PlantedCase>& info) { return info.param.label; });

}  // namespace
}  // namespace vestrana
