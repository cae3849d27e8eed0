#include "ui/layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_flow.h"

namespace vestrana {
namespace {

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

void expect_rect(const std::optional<LayoutRect>& r, float x, float y, float w, float h) {
  ASSERT_TRUE(r.has_value());
  EXPECT_NEAR(r->x, x, 0.01f);
  EXPECT_NEAR(r->y, y, 0.01f);
  EXPECT_NEAR(r->w, w, 0.01f);
  EXPECT_NEAR(r->h, h, 0.01f);
}

TEST(Layout, InstallButtonHasTheMinimumWidth) {
  UiState state = make_state(Mode::install(), Screen::welcome());
  expect_rect(primary_button_rect(state, fonts()), 424, 333, 168, 46);
  EXPECT_FALSE(secondary_button_rect(state, fonts()).has_value());
}

TEST(Layout, ErrorScreenPutsCloseTenUnitsLeftOfTryAgain) {
  UiState state = make_state(Mode::install(), Screen::error("x"));
  expect_rect(primary_button_rect(state, fonts()), 424, 333, 168, 46);
  expect_rect(secondary_button_rect(state, fonts()), 333.69f, 333, 80.31f, 46);
}

TEST(Layout, OptionRowsCoverToggleAndLabel) {
  UiState state = make_state(Mode::install(), Screen::welcome());
  expect_rect(toggle_rect(state, fonts(), 0), 42, 324, 213.22f, 28);
  expect_rect(toggle_rect(state, fonts(), 1), 42, 358, 334.99f, 28);
  EXPECT_FALSE(toggle_rect(state, fonts(), 2).has_value());
  // The whole row is clickable, far into the label.
  EXPECT_EQ(hit_test(state, fonts(), 250, 330), (ElementRef{HitKind::Toggle, 0}));
  EXPECT_EQ(hit_test(state, fonts(), 370, 360), (ElementRef{HitKind::Toggle, 1}));
}

TEST(Layout, ALabelReachingThePrimaryButtonDoesNotTakeItsClicks) {
  // "Démarrer avec Windows, dans la zone de notification" would run about 14
  // units under "Installer" at its full size; it is drawn smaller to keep its
  // room, the row ends with it, and the button's rectangle stays the button.
  UiState state = make_state(Mode::install(), Screen::welcome(), "fr");
  std::optional<LayoutRect> button = primary_button_rect(state, fonts());
  std::optional<LayoutRect> row = toggle_rect(state, fonts(), 1);
  ASSERT_TRUE(button && row);
  EXPECT_LT(row->right(), button->x);
  EXPECT_EQ(hit_test(state, fonts(), button->x + 1, 370), (ElementRef{HitKind::Primary, 0}));
  EXPECT_EQ(hit_test(state, fonts(), button->x - 1, 370), ElementRef::nothing());
  EXPECT_EQ(hit_test(state, fonts(), row->right() - 1, 370), (ElementRef{HitKind::Toggle, 1}));
}

TEST(Layout, RemoveHasOneOptionBelowTheQuestion) {
  UiState state = make_state(Mode::remove(), Screen::welcome());
  std::optional<LayoutRect> row = toggle_rect(state, fonts(), 0);
  ASSERT_TRUE(row.has_value());
  EXPECT_EQ(row->x, 42.0f);
  EXPECT_EQ(row->y, 352.0f);
  EXPECT_EQ(row->h, 28.0f);
  EXPECT_FALSE(toggle_rect(state, fonts(), 1).has_value());
  EXPECT_EQ(primary_label_id(state.screen, state.mode), StringId::ButtonRemove);
  // Where an install's first row would be, the removal shows its question.
  EXPECT_TRUE(hit_test(state, fonts(), 60, 330).is_nothing());
}

TEST(Layout, ProgressOffersOnlyMinimize) {
  UiState state = make_state(Mode::install(), Screen::progress());
  EXPECT_TRUE(hit_test(state, fonts(), 600, 10).is_nothing());
  EXPECT_EQ(hit_test(state, fonts(), 560, 10), (ElementRef{HitKind::Minimize, 0}));
  EXPECT_TRUE(hit_test(state, fonts(), 500, 350).is_nothing());
}

struct LabelCase {
  const char* name;
  Mode mode;
  Screen screen;
  std::optional<StringId> primary;
  std::optional<StringId> secondary;
  std::vector<StringId> options;
};

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, FollowScreenAndMode) {
  const LabelCase& c = GetParam();
  EXPECT_EQ(primary_label_id(c.screen, c.mode), c.primary);
  EXPECT_EQ(secondary_label_id(c.screen, c.mode), c.secondary);
  std::vector<StringId> options;
  for (uint32_t i = 0; i < 4; ++i) {
    if (std::optional<StringId> id = option_label_id(c.screen, c.mode, i)) options.push_back(*id);
  }
  EXPECT_EQ(options, c.options);
}

using Ids = std::vector<StringId>;
INSTANTIATE_TEST_SUITE_P(
    Layout, Labels,
    ::testing::Values(
        LabelCase{"welcome_install", Mode::install(), Screen::welcome(), StringId::ButtonInstall, std::nullopt,
                  Ids{StringId::OptionDesktopShortcut, StringId::OptionAutostart}},
        LabelCase{"welcome_update", Mode::update("1.0"), Screen::welcome(), StringId::ButtonUpdate, std::nullopt,
                  Ids{StringId::OptionDesktopShortcut, StringId::OptionAutostart}},
        LabelCase{"welcome_remove", Mode::remove(), Screen::welcome(), StringId::ButtonRemove, std::nullopt,
                  Ids{StringId::OptionDeleteData}},
        LabelCase{"progress", Mode::update("1.0"), Screen::progress(), std::nullopt, std::nullopt, Ids{}},
        LabelCase{"done_install", Mode::install(), Screen::done(), StringId::ButtonOpen, StringId::ButtonClose, Ids{}},
        LabelCase{"done_update", Mode::update("1.0"), Screen::done(), StringId::ButtonOpen, StringId::ButtonClose,
                  Ids{}},
        LabelCase{"done_remove", Mode::remove(), Screen::done(), StringId::ButtonClose, std::nullopt, Ids{}},
        LabelCase{"error_install", Mode::install(), Screen::error("x"), StringId::ButtonTryAgain, StringId::ButtonClose,
                  Ids{}},
        LabelCase{"error_remove", Mode::remove(), Screen::error("x"), StringId::ButtonTryAgain, StringId::ButtonClose,
                  Ids{}}),
    [](const auto& info) { return std::string(info.param.name); });

struct OrderCase {
  const char* name;
  Mode mode;
  Screen screen;
  std::vector<ElementRef> expected;
};

class RegionOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(RegionOrder, IsTitleBarThenContent) {
  const OrderCase& c = GetParam();
  UiState state = make_state(c.mode, c.screen);
  std::vector<HitRegion> regions = layout_regions(state, fonts());
  std::vector<ElementRef> kinds;
  for (const HitRegion& r : regions) kinds.push_back(r.element());
  EXPECT_EQ(kinds, c.expected);

  // Painting draws from the same helpers, so each region must match them.
  for (const HitRegion& r : regions) {
    std::optional<LayoutRect> drawn;
    switch (r.kind) {
      case HitKind::Minimize: drawn = kMinimizeRect; break;
      case HitKind::Close: drawn = kCloseRect; break;
      case HitKind::Primary: drawn = primary_button_rect(state, fonts()); break;
      case HitKind::Secondary: drawn = secondary_button_rect(state, fonts()); break;
      case HitKind::Toggle: drawn = toggle_rect(state, fonts(), r.index); break;
      case HitKind::Nothing: break;
    }
    EXPECT_EQ(drawn, r.rect()) << static_cast<int>(r.kind);
  }
}

const ElementRef kMin{HitKind::Minimize, 0};
const ElementRef kClose{HitKind::Close, 0};
const ElementRef kPrimary{HitKind::Primary, 0};
const ElementRef kSecondary{HitKind::Secondary, 0};
const ElementRef kToggle0{HitKind::Toggle, 0};
const ElementRef kToggle1{HitKind::Toggle, 1};
using Refs = std::vector<ElementRef>;

INSTANTIATE_TEST_SUITE_P(
    Layout, RegionOrder,
    ::testing::Values(
        OrderCase{"welcome_install", Mode::install(), Screen::welcome(),
                  Refs{kMin, kClose, kToggle0, kToggle1, kPrimary}},
        OrderCase{"welcome_update", Mode::update("1.0"), Screen::welcome(),
                  Refs{kMin, kClose, kToggle0, kToggle1, kPrimary}},
        OrderCase{"welcome_remove", Mode::remove(), Screen::welcome(), Refs{kMin, kClose, kToggle0, kPrimary}},
        OrderCase{"progress_install", Mode::install(), Screen::progress(), Refs{kMin}},
        OrderCase{"progress_remove", Mode::remove(), Screen::progress(), Refs{kMin}},
        OrderCase{"done_install", Mode::install(), Screen::done(), Refs{kMin, kClose, kPrimary, kSecondary}},
        OrderCase{"done_update", Mode::update("1.0"), Screen::done(), Refs{kMin, kClose, kPrimary, kSecondary}},
        OrderCase{"done_remove", Mode::remove(), Screen::done(), Refs{kMin, kClose, kPrimary}},
        OrderCase{"error_install", Mode::install(), Screen::error("x"), Refs{kMin, kClose, kPrimary, kSecondary}},
        OrderCase{"error_remove", Mode::remove(), Screen::error("x"), Refs{kMin, kClose, kPrimary, kSecondary}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Layout, OptionsWithoutALabelGetNoRegion) {
  UiState state = make_state(Mode::install(), Screen::welcome());
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
  UiState state = make_state(Mode::install(), Screen::error("x"));
  EXPECT_EQ(hit_test(state, fonts(), GetParam().x, GetParam().y), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Layout, HitEdges,
                         ::testing::Values(EdgeCase{"primary_top_left", 424, 333, kPrimary},
                                           EdgeCase{"primary_right_edge", 592, 350, ElementRef::nothing()},
                                           EdgeCase{"primary_just_inside_right", 591.99f, 378.99f, kPrimary},
                                           EdgeCase{"primary_bottom_edge", 500, 379, ElementRef::nothing()},
                                           EdgeCase{"gap_between_buttons", 419, 350, ElementRef::nothing()},
                                           EdgeCase{"secondary", 340, 350, kSecondary},
                                           EdgeCase{"minimize_close_border", 594, 0, kClose},
                                           EdgeCase{"minimize_last_column", 593.99f, 35.99f, kMin},
                                           EdgeCase{"below_title_bar", 600, 36, ElementRef::nothing()},
                                           EdgeCase{"canvas_corner", 639.99f, 0, kClose},
                                           EdgeCase{"outside_canvas", 700, 10, ElementRef::nothing()},
                                           EdgeCase{"negative", -1, -1, ElementRef::nothing()}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Layout, LongLabelsGrowThePrimaryButtonToTheLeft) {
  // German "Erneut versuchen" and French "Ouvrir vestrana" do not fit the
  // minimum width; the right edge stays put and Close moves left with it.
  for (const char* language : {"de", "fr"}) {
    Screen screen = language[0] == 'd' ? Screen::error("x") : Screen::done();
    UiState state = make_state(Mode::install(), screen, language);
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
