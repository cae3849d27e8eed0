#include "ui/accessible_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/layout.h"
#include "ui/screen_text.h"
#include "ui/screens.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

using Role = AccessibleRole;

UiState make_state(Screen screen, Mode mode, std::string_view lang = "en") {
  UiState state(load_fonts());
  state.mode = std::move(mode);
  state.strings = &table_for(LanguageCode{{lang[0], lang[1]}});
  state.version = "1.2.1";
  const size_t n = state.mode.kind == Mode::Remove ? 1 : 2;
  state.options.assign(n, false);
  state.options[0] = true;
  state.option_anim.assign(n, 0.0f);
  state.step = Step::CopyingFiles;
  set_screen(state, std::move(screen));
  state.progress_shown = 0.42f;
  return state;
}

struct Item {
  Role role;
  std::string name;  // the value for the progress bar
  bool checked_or_focused = false;  // checked for a check button, focused for a push button
};

struct TreeCase {
  const char* name;
  Screen screen;
  Mode mode;
  std::vector<Item> items;  // between the header and the caption buttons
};

const Item kHeadName{Role::StaticText, "vestrana"};
const Item kHeadSubtitle{Role::StaticText, "Desktop app for Windows · Version 1.2.1"};
const Item kMinimize{Role::PushButton, "Minimize"};
const Item kClose{Role::PushButton, "Close"};
const Item kDesktopOn{Role::CheckButton, "Shortcut on the desktop", true};
const Item kAutostartOff{Role::CheckButton, "Start with Windows, in the notification area", false};

class Tree : public ::testing::TestWithParam<TreeCase> {};

TEST_P(Tree, ListsWhatTheScreenShowsInReadingOrder) {
  const TreeCase& c = GetParam();
  UiState state = make_state(c.screen, c.mode);
  const std::vector<AccessibleElement> tree = accessible_tree(state, state.fonts);
  // Every screen starts with the header's texts and ends with the caption
  // buttons.
  std::vector<Item> items{kHeadName, kHeadSubtitle};
  items.insert(items.end(), c.items.begin(), c.items.end());
  items.insert(items.end(), {kMinimize, kClose});
  ASSERT_EQ(tree.size(), items.size());
  const std::vector<HitRegion> regions = layout_regions(state, state.fonts);
  for (size_t i = 0; i < tree.size(); ++i) {
    const AccessibleElement& e = tree[i];
    const Item& want = items[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(e.role, want.role);
    EXPECT_EQ(e.role == Role::ProgressBar ? e.value : e.name, want.name);
    EXPECT_EQ(e.role == Role::CheckButton ? e.checked : e.focused, want.checked_or_focused);
    EXPECT_EQ(e.default_action, e.role == Role::CheckButton ? "Toggle" : e.role == Role::PushButton ? "Press" : "");
    // Every control lies exactly where it is hit-tested, and is hit there.
    const bool interactive = e.role == Role::CheckButton || e.role == Role::PushButton;
    EXPECT_EQ(interactive, !e.element.is_nothing());
    if (interactive && !(e.element.kind == HitKind::Close && c.screen.kind == Screen::Progress)) {
      auto r =
          std::find_if(regions.begin(), regions.end(), [&](const HitRegion& h) { return h.element() == e.element; });
      ASSERT_NE(r, regions.end());
      EXPECT_EQ(e.rect, r->rect());
    }
    EXPECT_EQ(child_at(tree, e.rect.x + e.rect.w / 2, e.rect.y + e.rect.h / 2), i + 1);
    EXPECT_EQ(e.unavailable, e.element.kind == HitKind::Close && c.screen.kind == Screen::Progress);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Screens, Tree,
    ::testing::Values(
        TreeCase{"welcome_install",
                 Screen::welcome(),
                 Mode::install(),
                 {kDesktopOn, kAutostartOff, {Role::PushButton, "Install", true}}},
        TreeCase{"welcome_update",
                 Screen::welcome(),
                 Mode::update("1.1.0"),
                 {{Role::StaticText, "Update from version 1.1.0"},
                  kDesktopOn,
                  kAutostartOff,
                  {Role::PushButton, "Update", true}}},
        TreeCase{"welcome_remove",
                 Screen::welcome(),
                 Mode::remove(),
                 {{Role::StaticText, "Remove vestrana from this computer?"},
                  {Role::CheckButton, "Also delete sign-in and settings", true},
                  {Role::PushButton, "Remove", true}}},
        TreeCase{"progress",
                 Screen::progress(),
                 Mode::install(),
                 {{Role::StaticText, "Copying files …"}, {Role::StaticText, "42 %"}, {Role::ProgressBar, "42 %"}}},
        TreeCase{"done_install",
                 Screen::done(),
                 Mode::install(),
                 {{Role::StaticText, "vestrana is ready."},
                  {Role::StaticText, "You will find it in the Start menu."},
                  {Role::PushButton, "Close"},
                  {Role::PushButton, "Open vestrana", true}}},
        TreeCase{"done_remove",
                 Screen::done(),
                 Mode::remove(),
                 {{Role::StaticText, "vestrana has been removed."},
                  {Role::StaticText, "Your account and your posts stay on the server."},
                  {Role::PushButton, "Close", true}}},
        // Only the three lines the screen shows, joined as one text.
        TreeCase{"error_long",
                 Screen::error("one two three four five six seven eight nine ten eleven twelve "
                               "thirteen fourteen fifteen sixteen seventeen eighteen nineteen "
                               "twenty twentyone twentytwo twentythree twentyfour twentyfive"),
                 Mode::install(),
                 {{Role::Alert, "That did not work."},
                  {Role::StaticText,
                   "one two three four five six seven eight nine ten eleven twelve thirteen "
                   "fourteen fifteen sixteen seventeen eighteen nineteen"},
                  {Role::PushButton, "Close"},
                  {Role::PushButton, "Try again", true}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tree, TitleButtonsAreNamedInEveryLanguage) {
  struct Case {
    const char* lang;
    const char* minimize;
    const char* close;
  };
  const Case cases[] = {{"en", "Minimize", "Close"},        {"de", "Minimieren", "Schließen"},
                        {"fr", "Réduire", "Fermer"},        {"es", "Minimizar", "Cerrar"},
                        {"it", "Riduci a icona", "Chiudi"}, {"tr", "Simge durumuna küçült", "Kapat"}};
  for (const Case& c : cases) {
    UiState state = make_state(Screen::welcome(), Mode::install(), c.lang);
    const std::vector<AccessibleElement> tree = accessible_tree(state, state.fonts);
    ASSERT_GE(tree.size(), 2u);
    EXPECT_EQ(tree[tree.size() - 2].name, c.minimize);
    EXPECT_EQ(tree.back().name, c.close);
  }
}

TEST(Tree, AnnouncementFollowsTheScreen) {
  EXPECT_EQ(screen_announcement(make_state(Screen::welcome(), Mode::remove())), "Remove vestrana");
  EXPECT_EQ(screen_announcement(make_state(Screen::progress(), Mode::install())), "Copying files …");
  EXPECT_EQ(screen_announcement(make_state(Screen::done(), Mode::install())), "vestrana is ready.");
  EXPECT_EQ(screen_announcement(make_state(Screen::error("Disk full."), Mode::install())),
            "That did not work. Disk full.");
}

struct NoEffects final : WindowEffects {
  void minimize() override {}
  void request_close() override {}
  void launch_app() override {}
};
struct NoRunner final : OperationRunner {
  void start(ProgressRef, OperationRequest) override {}
};

TEST(Events, FollowFocusTogglesScreensAndAThrottledValue) {
  UiState state = make_state(Screen::welcome(), Mode::install());
  NoEffects effects;
  NoRunner runner;
  AccessibleEvents events;
  using E = AccessibleEvent;
  using List = std::vector<AccessibleEvent>;
  EXPECT_EQ(events.update(state, state.fonts), List{});  // the first look only remembers

  move_focus(state, false);  // Tab to the desktop toggle, child 3
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::Focus, 3}}));
  on_space_down(state);
  on_space_up(state, effects, runner);
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::StateChange, 3}}));
  EXPECT_EQ(events.update(state, state.fonts), List{});

  handle_action(state, ElementRef{HitKind::Primary, 0}, effects, runner);
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::NameChange, 0}}));  // Progress has no focus

  // The value is reported when it changes, but not more than every 0.25 s.
  state.progress_shown = 0.10f;
  state.clock += 0.1f;
  EXPECT_EQ(events.update(state, state.fonts), List{});
  state.clock += 0.2f;
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::ValueChange, 5}}));
  state.progress_shown = 0.20f;
  state.clock += 0.1f;
  EXPECT_EQ(events.update(state, state.fonts), List{});
  state.step = Step::WebView2Setup;
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::NameChange, 3}}));
  state.clock += 0.2f;
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::ValueChange, 5}}));

  state.progress.reset();
  set_screen(state, Screen::error("Disk full."));
  // The alert comes from the alert-role heading, child 3.
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::NameChange, 0}, {E::Alert, 3}, {E::Focus, 6}}));
  set_screen(state, Screen::done());
  EXPECT_EQ(events.update(state, state.fonts), (List{{E::NameChange, 0}, {E::Focus, 6}}));
}

// Every text lies where the window paints it, at the size painted: the
// subtitle that French and Turkish shrink to keep its room from the lowest
// card is reported no wider than that, and each text's rectangle is the one
// round its laid-out lines.
TEST(Tree, TextsHaveTheRectanglesOfTheirFittedLines) {
  for (const char* lang : {"en", "de", "fr", "es", "it", "tr"}) {
    for (const Screen& screen : {Screen::welcome(), Screen::progress(), Screen::done(),
                                 Screen::error("C:\\Users\\Someone\\AppData\\Local\\Programs\\vestrana\\"
                                               "resources\\app.asar: the disk is full")}) {
      UiState state = make_state(screen, Mode::update("1.1.0"), lang);
      const std::vector<ScreenText> texts = screen_texts(state, state.fonts);
      std::vector<const ScreenText*> own;
      for (const ScreenText& t : texts) {
        if (!is_control_label(t.part)) own.push_back(&t);
      }
      size_t next = 0;
      for (const AccessibleElement& e : accessible_tree(state, state.fonts)) {
        if (e.role != Role::StaticText && e.role != Role::Alert) continue;
        SCOPED_TRACE(std::string(lang) + ": " + e.name);
        ASSERT_LT(next, own.size());
        const ScreenText& t = *own[next++];
        EXPECT_EQ(e.name, shown_text(t));
        EXPECT_EQ(e.rect, t.bounds());
        if (t.limit) {
          EXPECT_LE(e.rect.right(), *t.limit - kTextRoom + 0.01f);
        }
      }
      EXPECT_EQ(next, own.size()) << lang;
    }
  }
  UiState french = make_state(Screen::welcome(), Mode::install(), "fr");
  const std::vector<AccessibleElement> french_tree = accessible_tree(french, french.fonts);
  const AccessibleElement& subtitle = french_tree[1];
  EXPECT_LT(subtitle.rect.w, measure_text(french.fonts, subtitle.name, 13.5f, kFontMedium) - 1);
}

// Screen readers speak an alert only from an alert-role object and learn
// the focus only from focus events: the error comes as an alert child with
// the whole error, and the focused button carries the screen's message.
TEST(Tree, ErrorAlertAndFocusedButtonCarryTheWholeMessage) {
  std::string error;
  for (int i = 0; i < 12; ++i) error += "The disk is full again. ";
  error += "The end.";
  UiState failed = make_state(Screen::error(error), Mode::install());
  const std::vector<AccessibleElement> tree = accessible_tree(failed, failed.fonts);
  const auto alerts = std::count_if(tree.begin(), tree.end(), [](const auto& e) { return e.role == Role::Alert; });
  EXPECT_EQ(alerts, 1);
  EXPECT_EQ(tree[2].role, Role::Alert);
  EXPECT_EQ(tree[2].description, error);
  EXPECT_NE(tree[3].name, error);  // the body element holds only the lines painted
  EXPECT_EQ(tree[5].description, "That did not work. " + error);  // "Try again", focused

  UiState done = make_state(Screen::done(), Mode::install());
  for (const AccessibleElement& e : accessible_tree(done, done.fonts)) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(e.description, e.focused ? "vestrana is ready. You will find it in the Start menu." : "");
  }
  move_focus(done, false);
  const std::vector<AccessibleElement> moved = accessible_tree(done, done.fonts);
  EXPECT_EQ(moved[4].description, "vestrana is ready. You will find it in the Start menu.");  // "Close"
  EXPECT_EQ(moved[5].description, "");
}

TEST(Events, GainingTheKeyboardFocusNamesTheFocusedChild) {
  using List = std::vector<AccessibleEvent>;
  UiState welcome = make_state(Screen::welcome(), Mode::install());
  EXPECT_EQ(AccessibleEvents::focus_gained(welcome, welcome.fonts), (List{{AccessibleEvent::Focus, 5}}));
  move_focus(welcome, true);  // Shift+Tab from Install: the second option
  EXPECT_EQ(AccessibleEvents::focus_gained(welcome, welcome.fonts), (List{{AccessibleEvent::Focus, 4}}));
  UiState busy = make_state(Screen::progress(), Mode::install());
  EXPECT_EQ(AccessibleEvents::focus_gained(busy, busy.fonts), List{});
}

}  // namespace
}  // namespace vestrana
