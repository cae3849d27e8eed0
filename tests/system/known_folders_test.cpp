#include "system/known_folders.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "fakes/fake_known_folders.h"

namespace vestrana {
namespace {

struct FolderCase {
  const char* name;
  std::optional<std::string> known;
  std::optional<std::string> environment;
  std::optional<std::string> expected;
};

class DefaultInstallFolder : public ::testing::TestWithParam<FolderCase> {};

TEST_P(DefaultInstallFolder, UsesKnownFolderThenEnvironment) {
  FakeKnownFolders folders;
  folders.folders[KnownFolder::RoamingAppData] = "C:\\Users\\Ana\\AppData\\Roaming";
  if (GetParam().known) folders.folders[KnownFolder::LocalAppData] = *GetParam().known;
  if (GetParam().environment) folders.environment["LocalAppData"] = *GetParam().environment;
  EXPECT_EQ(default_install_folder(folders), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bases, DefaultInstallFolder,
    ::testing::Values(FolderCase{"known_folder_wins", "C:\\Users\\Ana\\AppData\\Local", "D:\\Env",
                                 "C:\\Users\\Ana\\AppData\\Local\\vestrana"},
                      FolderCase{"environment_when_unknown", std::nullopt, "D:\\Env\\", "D:\\Env\\vestrana"},
                      FolderCase{"environment_when_known_is_empty", "", "D:\\Env", "D:\\Env\\vestrana"},
                      FolderCase{"network_share", std::nullopt, "\\\\srv\\home\\ana", "\\\\srv\\home\\ana\\vestrana"},
                      FolderCase{"neither", std::nullopt, std::nullopt, std::nullopt},
                      FolderCase{"empty_environment", std::nullopt, "", std::nullopt},
                      // Relative bases would install below the setup's working folder.
                      FolderCase{"relative_environment", std::nullopt, "AppData\\Local", std::nullopt},
                      FolderCase{"drive_relative_environment", std::nullopt, "C:AppData", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vestrana
