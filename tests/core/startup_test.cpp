#include "startup.h"

#include <gtest/gtest.h>

#include "base/product.h"

namespace vestrana {
namespace {

using Text = std::optional<std::string>;

// The version this build installs; any other text, however close, is another version.
const std::string kThis(kSetupVersion);
const std::string kShorter = kThis.substr(0, kThis.size() - 1);

struct ModeCase {
  const char* name;
  bool uninstall;
  Text installed;
  Mode expected;
};

class ChooseMode : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ChooseMode, FromFlagAndInstalledVersion) {
  EXPECT_EQ(choose_mode(GetParam().uninstall, GetParam().installed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Startup, ChooseMode,
    ::testing::Values(ModeCase{"nothing_installed", false, std::nullopt, Mode::install()},
                      ModeCase{"same_version_reinstalls", false, kThis, Mode::install()},
                      ModeCase{"longer_version_updates", false, kThis + "0", Mode::update(kThis + "0")},
                      ModeCase{"shorter_version_updates", false, kShorter, Mode::update(kShorter)},
                      ModeCase{"trailing_blank_is_another_version", false, kThis + " ", Mode::update(kThis + " ")},
                      ModeCase{"older_version_updates", false, "0.9.0", Mode::update("0.9.0")},
                      ModeCase{"uninstall_wins_when_installed", true, kThis, Mode::remove()},
                      ModeCase{"uninstall_wins_when_nothing_installed", true, std::nullopt, Mode::remove()}),
    [](const auto& info) { return std::string(info.param.name); });

struct OptionsCase {
  const char* name;
  Mode mode;
  bool installed, shortcut, autostart;
  std::vector<bool> expected;
};

class DefaultOptions : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(DefaultOptions, FollowTheInstalledState) {
  const auto& c = GetParam();
  EXPECT_EQ(default_options(c.mode, c.installed, c.shortcut, c.autostart), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Startup, DefaultOptions,
                         ::testing::Values(
                             // A first install proposes a shortcut and no autostart, whatever lies around.
                             OptionsCase{"first_install", Mode::install(), false, false, true, {true, false}},
                             OptionsCase{"reinstall_keeps_choices", Mode::install(), true, false, true, {false, true}},
                             OptionsCase{
                                 "update_keeps_shortcut", Mode::update("1.0"), true, true, false, {true, false}},
                             OptionsCase{"update_neither", Mode::update("1.0"), true, false, false, {false, false}},
                             OptionsCase{"remove_installed", Mode::remove(), true, true, true, {false}},
                             OptionsCase{"remove_nothing_installed", Mode::remove(), false, false, false, {false}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TargetCase {
  const char* name;
  Text dir, installed, fallback, expected;
};

class ChooseTargetFolder : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ChooseTargetFolder, FirstNonEmptyInOrder) {
  const auto& c = GetParam();
  EXPECT_EQ(choose_target_folder(c.dir, c.installed, c.fallback), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Startup, ChooseTargetFolder,
                         ::testing::Values(TargetCase{"dir_first", "D:\\v", "C:\\i", "C:\\d", "D:\\v"},
                                           TargetCase{"installed_second", std::nullopt, "C:\\i", "C:\\d", "C:\\i"},
                                           TargetCase{"default_last", std::nullopt, std::nullopt, "C:\\d", "C:\\d"},
                                           TargetCase{"dir_even_if_flag_like", "--silent", "C:\\i", "C:\\d",
                                                      "--silent"},
                                           TargetCase{"empty_dir_ignored", "", "C:\\i", "C:\\d", "C:\\i"},
                                           TargetCase{"empty_installed_ignored", std::nullopt, "", "C:\\d", "C:\\d"},
                                           TargetCase{"nothing_usable", "", "", std::nullopt, std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vestrana
