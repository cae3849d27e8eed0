#include "system/self_removal.h"

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

constexpr const char* kDelay = "/c ping 127.0.0.1 -n 3 > nul";
constexpr const char* kTemp = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\";
constexpr const char* kCopy = "C:\\Users\\Ada Lovelace\\AppData\\Local\\Temp\\vestrana-uninstall-4242.exe";
constexpr const char* kInstalled = "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana";
const std::string kOwn = std::string(kInstalled) + "\\uninstall.exe";

struct CommandCase {
  const char* label;
  std::vector<std::string> files;
  std::optional<std::string> folder;
  std::string expected;
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.label; }

class RemovalCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RemovalCommand, IsBuiltExactly) {
  const CommandCase& c = GetParam();
  EXPECT_EQ(removal_command_text(c.files, c.folder), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RemovalCommand,
    ::testing::Values(
        CommandCase{"nothing_to_delete", {}, std::nullopt, kDelay},
        CommandCase{"own_file_only",
                    {"C:\\Temp\\vestrana-uninstall-7.exe"},
                    std::nullopt,
                    std::string(kDelay) + " & del /f /q \"C:\\Temp\\vestrana-uninstall-7.exe\""},
        CommandCase{"completed_removal_with_blanks",
                    {kCopy, std::string(kInstalled) + "\\uninstall.exe"},
                    std::string(kInstalled),
                    std::string(kDelay) + " & del /f /q \"" + kCopy + "\" & del /f /q \"" + kInstalled +
                        "\\uninstall.exe\" & rmdir \"" + kInstalled + "\""},
        // Inside quotes the interpreter takes these literally.
        CommandCase{"ampersand_caret_parentheses",
                    {"C:\\R&D ^x (old)\\a.exe"},
                    std::string("C:\\R&D ^x (old)"),
                    std::string(kDelay) + " & del /f /q \"C:\\R&D ^x (old)\\a.exe\" & rmdir \"C:\\R&D ^x (old)\""},
        // %name% would be expanded even inside quotes: those parts are left out.
        CommandCase{"percent_left_out",
                    {kCopy, "C:\\%APPDATA%\\uninstall.exe"},
                    std::string("C:\\%APPDATA%"),
                    std::string(kDelay) + " & del /f /q \"" + kCopy + "\""},
        // A quote or line break would let the rest run as commands.
        CommandCase{"quote_left_out",
                    {"C:\\x\" & format c: & \"y\\uninstall.exe", kCopy},
                    std::string("C:\\x\" & format c: & \""),
                    std::string(kDelay) + " & del /f /q \"" + kCopy + "\""},
        CommandCase{"line_break_left_out", {"C:\\a\r\nb.exe"}, std::string("C:\\a\nb"), kDelay},
        CommandCase{"empty_folder_left_out", {}, std::string(""), kDelay}),
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
            std::string("cmd.exe ") + kDelay + " & del /f /q \"" + kCopy + "\" & del /f /q \"" + kInstalled +
                "\\uninstall.exe\" & rmdir \"" + kInstalled + "\"");
  EXPECT_EQ(start.creation_flags, 0x08000000u);
  EXPECT_FALSE(start.wait);
}

TEST_F(SelfRemovalTest, IncompleteRemovalDeletesOnlyTheRunningProgram) {
  schedule_self_removal(processes, kInstalled, false);

  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].command_line,
            std::string("cmd.exe ") + kDelay + " & del /f /q \"" + kCopy + "\"");
}

TEST_F(SelfRemovalTest, WithoutOwnPathTheListStartsWithTheUninstaller) {
  processes.own_path.reset();
  schedule_self_removal(processes, "D:\\v", true);

  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].command_line,
            std::string("cmd.exe ") + kDelay + " & del /f /q \"D:\\v\\uninstall.exe\" & rmdir \"D:\\v\"");
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
    return relaunch_from_temp(processes, files, folders, dir, silent);
  }

  const ProcessStart& only_start() {
    EXPECT_EQ(processes.started.size(), 1u);
    return processes.started.at(0);
  }

  FakeProcessApi processes;
  FakeFileSystem files;
  FakeKnownFolders folders;
};

TEST_F(RelaunchTest, CopiesItselfAndStartsTheCopyWithoutWaiting) {
  files.add_file(kCopy, "a stale copy of an earlier run with the same process id");

  EXPECT_EQ(relaunch(std::nullopt, false), 0);

  EXPECT_EQ(files.text(kCopy), "MZ uninstaller bytes");
  const ProcessStart& start = only_start();
  EXPECT_EQ(start.program, kCopy);
  EXPECT_FALSE(start.wait);
  EXPECT_EQ(start.creation_flags, 0u);
  EXPECT_THAT(split_command_line(start.command_line),
              ElementsAre(kCopy, "--uninstall", "--from-temp", "--dir", kInstalled));
}

struct FolderCase {
  const char* label;
  std::optional<std::string> dir;
  std::optional<std::string> own_path;
  std::string expected_folder;
};

void PrintTo(const FolderCase& c, std::ostream* os) { *os << c.label; }

class RelaunchFolder : public RelaunchTest, public ::testing::WithParamInterface<FolderCase> {};

TEST_P(RelaunchFolder, ReachesTheCopyAsOneWord) {
  const FolderCase& c = GetParam();
  processes.own_path = c.own_path;
  if (c.own_path) files.add_file(*c.own_path, "MZ");

  ASSERT_EQ(relaunch(c.dir, true), 0);

  LaunchOptions options = parse_command_line(only_start().command_line);
  EXPECT_TRUE(options.uninstall_flag);
  EXPECT_TRUE(options.from_temp);
  EXPECT_TRUE(options.silent);
  EXPECT_EQ(options.dir, c.expected_folder);
  EXPECT_EQ(split_command_line(only_start().command_line).back(), "--silent");
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RelaunchFolder,
    ::testing::Values(
        FolderCase{"given_with_blanks", std::string("D:\\My Apps\\vestrana"), kOwn,
                   "D:\\My Apps\\vestrana"},
        // A backslash before the closing quote must not swallow it.
        FolderCase{"given_with_trailing_backslash", std::string("D:\\My Apps\\vestrana\\"), kOwn,
                   "D:\\My Apps\\vestrana\\"},
        FolderCase{"given_looking_like_a_flag", std::string("--silent"), kOwn, "--silent"},
        FolderCase{"given_empty", std::string(""), kOwn, ""},
        FolderCase{"program_folder", std::nullopt, std::string("E:\\Tools\\v s\\uninstall.exe"), "E:\\Tools\\v s"},
        FolderCase{"default_when_program_has_no_folder", std::nullopt, std::string("uninstall.exe"),
                   "C:\\Users\\Ada Lovelace\\AppData\\Local\\vestrana"}),
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

TEST_F(RelaunchTest, NothingIsStartedWhenTheCopyFails) {
  files.fail_write(kCopy, fake_os_error(5));
  EXPECT_EQ(relaunch(std::nullopt, false), 1);
  EXPECT_THAT(processes.started, IsEmpty());
}

}  // namespace
}  // namespace vestrana
