#include "ui/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_flow.h"
#include "ui/ui_test_names.h"

namespace vestrana {
namespace {

using namespace ui_test_names;

const FontSet& fonts() {
  static const FontSet set = load_fonts();
  return set;
}

UiState make_state(Mode mode, Screen screen, const char* language = "en") {
  std::vector<bool> options = mode.kind == Mode::Remove ? std::vector<bool>{false} : std::vector<bool>{true, false};
  LanguageCode code{{language[0], language[1]}};
  InteractiveStart start{std::move(mode), std::move(options), "", false, "", &table_for(code)};
  UiState state = make_initial_state(start, load_fonts(), Clock::TimePoint{});
  state.screen = std::move(screen);
  return state;
}

using Ids = std::vector<StringId>;

void expect_rect(const std::optional<LayoutRect>& r, float x, float y, float w, float h) {
  ASSERT_TRUE(r.has_value());
  EXPECT_NEAR(r->x, x, 0.01f);
  EXPECT_NEAR(r->y, y, 0.01f);
  EXPECT_NEAR(r->w, w, 0.01f);
  EXPECT_NEAR(r->h, h, 0.01f);
}

TEST(Layout, InstallButtonHasTheMinimumWidth) {
  UiState state = make_state(kInstall, kWelcome);
  expect_rect(primary_button_rect(state, fonts()), 424, 333, 168, 46);
  EXPECT_FALSE(secondary_button_rect(state, fonts()).has_value());
}

TEST(Layout, ErrorScreenPutsCloseTenUnitsLeftOfTryAgain) {
  UiState state = make_state(kInstall, kError);
  expect_rect(primary_button_rect(state, fonts()), 424, 333, 168, 46);
  expect_rect(secondary_button_rect(state, fonts()), 333.69f, 333, 80.31f, 46);
}

TEST(Layout, OptionRowsCoverToggleAndLabel) {
  UiState state = make_state(kInstall, kWelcome);
  expect_rect(toggle_rect(state, fonts(), 0), 42, 324, 213.22f, 28);
  expect_rect(toggle_rect(state, fonts(), 1), 42, 358, 334.99f, 28);
  EXPECT_FALSE(toggle_rect(state, fonts(), 2).has_value());
  // The whole row is clickable, far into the label.
  EXPECT_EQ(hit_test(state, fonts(), 250, 330), kToggle0);
  EXPECT_EQ(hit_test(state, fonts(), 370, 360), kToggle1);
}

TEST(Layout, ALabelReachingThePrimaryButtonDoesNotTakeItsClicks) {
  // "Démarrer avec Windows, dans la zone de notification" would run about 14
  // units under "Installer" at its full size; it is drawn smaller to keep its
  // room, the row ends with it, and the button's rectangle stays the button.
  UiState state = make_state(kInstall, kWelcome, "fr");
  std::optional<LayoutRect> button = primary_button_rect(state, fonts());
  std::optional<LayoutRect> row = toggle_rect(state, fonts(), 1);
  ASSERT_TRUE(button && row);
  EXPECT_LT(row->right(), button->x);
  EXPECT_EQ(hit_test(state, fonts(), button->x + 1, 370), kPrimary);
  EXPECT_EQ(hit_test(state, fonts(), button->x - 1, 370), kNothing);
  EXPECT_EQ(hit_test(state, fonts(), row->right() - 1, 370), kToggle1);
}

TEST(Layout, RemoveHasOneOptionBelowTheQuestion) {
  UiState state = make_state(kRemove, kWelcome);
  std::optional<LayoutRect> row = toggle_rect(state, fonts(), 0);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->x, 42.0f);
  EXPECT_EQ(row->y, 352.0f);
  EXPECT_EQ(row->h, 28.0f);
  EXPECT_FALSE(toggle_rect(state, fonts(), 1).has_value());
  // Where an install's first row would be, the removal shows its question.
  EXPECT_TRUE(hit_test(state, fonts(), 60, 330).is_nothing());
}

TEST(Layout, ProgressOffersOnlyMinimize) {
  UiState state = make_state(kInstall, kProgress);
  EXPECT_TRUE(hit_test(state, fonts(), 600, 10).is_nothing());
  EXPECT_EQ(hit_test(state, fonts(), 560, 10), kMinimize);
  EXPECT_TRUE(hit_test(state, fonts(), 500, 350).is_nothing());
}

// What each screen shows: the buttons' and the options' labels, and the
// regions the pointer can hit, title bar first.
struct ScreenCase {
  const char* name;
  Mode mode;
  Screen screen;
  std::optional<StringId> primary;
  std::optional<StringId> secondary;
  Ids options;
  Refs regions;
};

class Elements : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(Elements, FollowScreenAndMode) {
  const ScreenCase& c = GetParam();
  EXPECT_EQ(primary_label_id(c.screen, c.mode), c.primary);
  EXPECT_EQ(secondary_label_id(c.screen, c.mode), c.secondary);
  Ids options;
  for (uint32_t i = 0; i < 4; ++i) {
    if (std::optional<StringId> id = option_label_id(c.screen, c.mode, i)) options.push_back(*id);
  }
  EXPECT_EQ(options, c.options);
  const UiState state = make_state(c.mode, c.screen);
  Refs regions;
  for (const HitRegion& r : layout_regions(state, fonts())) regions.push_back(r.element());
  EXPECT_EQ(regions, c.regions);
}

using enum StringId;
const ScreenCase kScreens[] = {
    {"welcome_install", kInstall, kWelcome, ButtonInstall, std::nullopt, Ids{OptionDesktopShortcut, OptionAutostart},
     Refs{kMinimize, kClose, kToggle0, kToggle1, kPrimary}},
    {"welcome_update", kUpdate, kWelcome, ButtonUpdate, std::nullopt, Ids{OptionDesktopShortcut, OptionAutostart},
     Refs{kMinimize, kClose, kToggle0, kToggle1, kPrimary}},
    {"welcome_remove", kRemove, kWelcome, ButtonRemove, std::nullopt, Ids{OptionDeleteData},
     Refs{kMinimize, kClose, kToggle0, kPrimary}},
    {"progress_install", kInstall, kProgress, std::nullopt, std::nullopt, Ids{}, Refs{kMinimize}},
    {"progress_update", kUpdate, kProgress, std::nullopt, std::nullopt, Ids{}, Refs{kMinimize}},
    {"progress_remove", kRemove, kProgress, std::nullopt, std::nullopt, Ids{}, Refs{kMinimize}},
    {"done_install", kInstall, kDone, ButtonOpen, ButtonClose, Ids{}, Refs{kMinimize, kClose, kPrimary, kSecondary}},
    {"done_update", kUpdate, kDone, ButtonOpen, ButtonClose, Ids{}, Refs{kMinimize, kClose, kPrimary, kSecondary}},
    {"done_remove", kRemove, kDone, ButtonClose, std::nullopt, Ids{}, Refs{kMinimize, kClose, kPrimary}},
    {"error_install", kInstall, kError, ButtonTryAgain, ButtonClose, Ids{},
     Refs{kMinimize, kClose, kPrimary, kSecondary}},
    {"error_remove", kRemove, kError, ButtonTryAgain, ButtonClose, Ids{},
     Refs{kMinimize, kClose, kPrimary, kSecondary}},
};
INSTANTIATE_TEST_SUITE_P(Layout, Elements, ::testing::ValuesIn(kScreens), kByName);

TEST(Layout, OptionsWithoutALabelGetNoRegion) {
  UiState state = make_state(kInstall, kWelcome);
  state.options = {true, false, true};
  state.option_anim = {1, 0, 1};
  int toggles = 0;
  for (const HitRegion& r : layout_regions(state, fonts())) toggles += r.kind == HitKind::Toggle;
  EXPECT_EQ(toggles, 2);
  // And a shorter list only gets the rows it has.
  state.options = {true};
  state.option_anim = {1};
  EXPECT_EQ(hit_test(state, fonts(), 60, 365).kind, HitKind::Nothing);
}

struct EdgeCase {
  const char* name;
  float x, y;
  ElementRef expected;
};

class HitEdges : public ::testing::TestWithParam<EdgeCase> {};

// The error screen of an English install: Close at x 333.69..414, Try again
// at 424..592, both 333..379.
TEST_P(HitEdges, LeftAndTopInsideRightAndBottomOutside) {
  UiState state = make_state(kInstall, kError);
  EXPECT_EQ(hit_test(state, fonts(), GetParam().x, GetParam().y), GetParam().expected);
}

const EdgeCase kEdges[] = {
    {"primary_top_left", 424, 333, kPrimary},
    {"primary_right_edge", 592, 350, kNothing},
    {"primary_just_inside_right", 591.99f, 378.99f, kPrimary},
    {"primary_bottom_edge", 500, 379, kNothing},
    {"gap_between_buttons", 419, 350, kNothing},
    {"secondary", 340, 350, kSecondary},
    {"minimize_close_border", 594, 0, kClose},
    {"minimize_last_column", 593.99f, 35.99f, kMinimize},
    {"below_title_bar", 600, 36, kNothing},
    {"canvas_corner", 639.99f, 0, kClose},
    {"outside_canvas", 700, 10, kNothing},
    {"negative", -1, -1, kNothing},
};
INSTANTIATE_TEST_SUITE_P(Layout, HitEdges, ::testing::ValuesIn(kEdges), kByName);

TEST(Layout, LongLabelsGrowThePrimaryButtonToTheLeft) {
  // German "Erneut versuchen" and French "Ouvrir vestrana" do not fit the
  // minimum width; the right edge stays put and Close moves left with it.
  for (const char* language : {"de", "fr"}) {
    Screen screen = language[0] == 'd' ? kError : kDone;
    UiState state = make_state(kInstall, screen, language);
    std::optional<LayoutRect> primary = primary_button_rect(state, fonts());
    std::optional<LayoutRect> secondary = secondary_button_rect(state, fonts());
    ASSERT_TRUE(primary && secondary);
    EXPECT_GT(primary->w, 168.0f) << language;
    EXPECT_FLOAT_EQ(primary->right(), 592) << language;
    EXPECT_FLOAT_EQ(secondary->right(), primary->x - 10) << language;
    EXPECT_EQ(hit_test(state, fonts(), primary->x + 1, 350).kind, HitKind::Primary);
    EXPECT_EQ(hit_test(state, fonts(), primary->x - 1, 350).kind, HitKind::Nothing);
  }
}

}  // namespace
}  // namespace vestrana
