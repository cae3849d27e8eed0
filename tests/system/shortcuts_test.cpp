#include "system/shortcuts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_file_system.h"
#include "fakes/fake_known_folders.h"
#include "fakes/fake_shell_link_api.h"
#include "fakes/fake_system_messages.h"

namespace vestrana {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr uint32_t kAccessDenied = 0x80070005;
const std::string kPrograms = "C:\\Users\\ada\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kDesktop = "C:\\Users\\ada\\Desktop";
const std::string kLink = kPrograms + "\\vestrana.lnk";
const std::string kDesktopLink = kDesktop + "\\vestrana.lnk";
const std::string kTarget = "C:\\Users\\ada\\AppData\\Local\\vestrana\\vestrana.exe";

class ShortcutTest : public ::testing::Test {
 protected:
  ShortcutTest() : links(&files) {
    files.add_folder(kPrograms);
    files.add_folder(kDesktop);
    folders.folders[KnownFolder::Programs] = kPrograms;
    folders.folders[KnownFolder::Desktop] = kDesktop;
    messages.texts[kAccessDenied] = "Access is denied.";
  }

  Result create(const std::string& link_path = kLink, const std::string& target = kTarget) {
    return create_shortcut(links, files, messages, link_path, target);
  }

  // What the write gave: a success is no failure text.
  std::string failure(const std::string& link_path = kLink) {
    Result result = create(link_path);
    return result.ok() ? "(success)" : result.failure_text();
  }

  void expect_everything_released() {
    EXPECT_EQ(links.open_interfaces, 0);
    EXPECT_EQ(links.open_values, 0);
    EXPECT_EQ(links.misuses, 0);
  }

  FakeFileSystem files;
  FakeShellLinkApi links;
  FakeKnownFolders folders;
  FakeSystemMessages messages;
};

TEST_F(ShortcutTest, WritesEveryPropertyInOrderAndReleasesEverything) {
  Result result = create();

  ASSERT_TRUE(result.ok()) << result.failure_text();
  EXPECT_EQ(links.calls.front(), "initialize_com");
  EXPECT_EQ(links.call_list(),
            "create_link set_path set_working_directory set_icon_location set_description "
            "query_property_store prepare_app_id set_app_id commit_properties clear_app_id "
            "query_persist_file save release_all");
  EXPECT_EQ(links.path, kTarget);
  EXPECT_EQ(links.working_directory, "C:\\Users\\ada\\AppData\\Local\\vestrana");
  EXPECT_EQ(links.icon_file, kTarget);
  EXPECT_EQ(links.icon_index, 0);
  EXPECT_EQ(links.description, "vestrana");
  EXPECT_EQ(links.app_id, "com.vestrana.desktop");
  EXPECT_TRUE(files.exists(kLink));
  expect_everything_released();
}

TEST_F(ShortcutTest, ComAlreadyInitialisedInAnotherModeIsNoFailure) {
  links.failures["initialize_com"] = static_cast<int32_t>(0x80010106);  // RPC_E_CHANGED_MODE
  EXPECT_TRUE(create().ok());
}

TEST_F(ShortcutTest, TargetWithoutFolderGetsNoWorkingFolder) {
  Result result = create(kLink, "vestrana.exe");

  ASSERT_TRUE(result.ok()) << result.failure_text();
  EXPECT_THAT(links.call_list(), Not(HasSubstr("set_working_directory")));
  EXPECT_EQ(links.icon_file, "vestrana.exe");
}

TEST_F(ShortcutTest, CreatesMissingParentFoldersBeforeSaving) {
  std::string deep = kDesktop + "\\one\\two\\vestrana.lnk";
  Result result = create(deep);

  ASSERT_TRUE(result.ok()) << result.failure_text();
  EXPECT_TRUE(files.is_folder(kDesktop + "\\one\\two"));
  EXPECT_TRUE(files.exists(deep));
}

TEST_F(ShortcutTest, ReplacesAnExistingShortcut) {
  files.add_file(kLink, "an older shortcut");

  ASSERT_TRUE(create().ok());

  EXPECT_THAT(*files.text(kLink), StartsWith("target=" + kTarget));
}

TEST_F(ShortcutTest, SaveIntoAFolderThatCannotBeMadeReportsTheSaveStep) {
  std::string in_missing = "C:\\Users\\ada\\Links\\vestrana.lnk";
  files.fail(FakeFileSystem::Op::CreateFolder, "C:\\Users\\ada\\Links", fake_os_error(5));
  messages.texts[0x80070003] = "The system cannot find the path specified.";

  EXPECT_EQ(failure(in_missing),
            "shortcut C:\\Users\\ada\\Links\\vestrana.lnk: save: The system cannot find the path specified. "
            "(0x80070003)");
  EXPECT_FALSE(files.exists(in_missing));
  expect_everything_released();
}

TEST_F(ShortcutTest, ErrorWithoutSystemTextShowsTheCodeAlone) {
  links.failures["save"] = static_cast<int32_t>(0x80004005);
  EXPECT_EQ(failure(), "shortcut " + kLink + ": save: 0x80004005");
}

struct StepFailure {
  const char* method;
  const char* step;
  // The calls from the failing one to the end.
  const char* tail;
};

void PrintTo(const StepFailure& c, std::ostream* os) { *os << c.method; }

class ShortcutStepFailure : public ShortcutTest, public ::testing::WithParamInterface<StepFailure> {};

TEST_P(ShortcutStepFailure, StopsAtTheStepNamesItAndReleasesEverything) {
  const StepFailure& c = GetParam();
  links.failures[c.method] = static_cast<int32_t>(kAccessDenied);

  EXPECT_EQ(failure(), "shortcut " + kLink + ": " + c.step + ": Access is denied. (0x80070005)");
  // The calls end with the tail, which starts at the failing step's first
  // call: nothing after that step ran; in particular no file was written.
  std::string calls = links.call_list();
  EXPECT_EQ(calls.find(c.tail), calls.size() - std::string(c.tail).size());
  EXPECT_FALSE(files.exists(kLink));
  expect_everything_released();
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, ShortcutStepFailure,
    ::testing::Values(StepFailure{"create_link", "create", "create_link release_all"},
                      StepFailure{"set_path", "path", "set_path release_all"},
                      StepFailure{"set_working_directory", "folder", "set_working_directory release_all"},
                      StepFailure{"set_icon_location", "icon", "set_icon_location release_all"},
                      StepFailure{"set_description", "description", "set_description release_all"},
                      StepFailure{"query_property_store", "properties", "query_property_store release_all"},
                      StepFailure{"prepare_app_id", "identity", "prepare_app_id clear_app_id release_all"},
                      StepFailure{"set_app_id", "identity", "set_app_id clear_app_id release_all"},
                      StepFailure{"commit_properties", "identity", "commit_properties clear_app_id release_all"},
                      StepFailure{"query_persist_file", "file", "query_persist_file release_all"},
                      StepFailure{"save", "save", "save release_all"}),
    [](const ::testing::TestParamInfo<StepFailure>& info) { return std::string(info.param.method); });

TEST_F(ShortcutTest, PathsLieDirectlyInTheirKnownFolders) {
  EXPECT_EQ(start_menu_shortcut_path(folders), kLink);
  EXPECT_EQ(desktop_shortcut_path(folders), kDesktopLink);

  FakeKnownFolders unknown;
  EXPECT_EQ(start_menu_shortcut_path(unknown), std::nullopt);
  EXPECT_EQ(desktop_shortcut_path(unknown), std::nullopt);
}

TEST_F(ShortcutTest, DesktopShortcutPresenceCountsAnyEntry) {
  EXPECT_FALSE(desktop_shortcut_present(folders, files));

  files.add_folder(kDesktopLink);
  EXPECT_TRUE(desktop_shortcut_present(folders, files));

  FakeKnownFolders no_desktop;
  no_desktop.folders[KnownFolder::Programs] = kPrograms;
  EXPECT_FALSE(desktop_shortcut_present(no_desktop, files));
}

TEST_F(ShortcutTest, RemoveDeletesOnlyTheShortcut) {
  files.add_file(kDesktopLink, "link");
  files.add_file(kDesktop + "\\notes.txt", "mine");

  EXPECT_TRUE(remove_shortcut(files, kDesktopLink));
  EXPECT_FALSE(remove_shortcut(files, kDesktopLink));  // already gone: nothing happens

  EXPECT_FALSE(files.exists(kDesktopLink));
  EXPECT_TRUE(files.exists(kDesktop + "\\notes.txt"));
}

}  // namespace
}  // namespace vestrana
