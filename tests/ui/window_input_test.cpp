// The window's own decisions: the key map, the cursor and drag rules, what
// Ctrl+C copies and why sign-out waits.
#include "ui/window_input.h"

#include <gtest/gtest.h>

#include "ui/interactive_start.h"

namespace vestrana {
namespace {

TEST(WindowInput, MapsKeysAsTheWindowAnswersThem) {
  struct Case {
    uint32_t key;
    bool shift, control, down;
    KeyAction action;
  };
  const Case cases[] = {
      {kKeyReturn, false, false, true, KeyAction::Primary},  {kKeyEscape, false, true, true, KeyAction::Escape},
      {kKeyTab, false, false, true, KeyAction::FocusNext},   {kKeyTab, true, false, true, KeyAction::FocusPrevious},
      {kKeySpace, false, false, true, KeyAction::SpaceDown}, {kKeySpace, false, false, false, KeyAction::SpaceUp},
      {kKeyReturn, false, false, false, KeyAction::None},    {kKeyC, false, true, true, KeyAction::Copy},
      {kKeyInsert, false, true, true, KeyAction::Copy},      {kKeyC, false, false, true, KeyAction::None},  // a plain C
      {kKeyInsert, true, true, true, KeyAction::None},  // Ctrl+Shift+Insert is not copy
      {kKeyC, false, true, false, KeyAction::None},          {0x41, false, true, true, KeyAction::None},  // Ctrl+A
  };
  for (const Case& c : cases) {
    EXPECT_EQ(key_action(c.key, KeyModifiers{c.shift, c.control}, c.down), c.action)
        << c.key << " shift " << c.shift << " control " << c.control << " down " << c.down;
  }
}

TEST(WindowInput, HandOverWhatCanBeClickedAndDragElsewhere) {
  struct Case {
    HitKind kind;
    bool hand, drags;
  };
  const Case cases[] = {
      {HitKind::Primary, true, false},   {HitKind::Secondary, true, false}, {HitKind::Toggle, true, false},
      {HitKind::Minimize, false, false}, {HitKind::Close, false, false},    {HitKind::Nothing, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shows_hand_cursor(c.kind), c.hand) << static_cast<int>(c.kind);
    EXPECT_EQ(drags_window(ElementRef{c.kind, 0}), c.drags) << static_cast<int>(c.kind);
  }
}

UiState state_on(Mode mode, Screen screen, LanguageCode language = {}) {
  InteractiveStart start{mode, {}, "vestrana Setup", false, "D:\\Apps\\vestrana", &table_for(language)};
  UiState state = make_initial_state(start, load_fonts(), Clock::TimePoint{});
  state.screen = std::move(screen);
  return state;
}

TEST(WindowInput, CopiesTheHeadingAndTheWholeError) {
  struct Case {
    const char* message;
    const char* copied;
  };
  const Case cases[] = {
      {"The files could not be written (Access is denied. (0x80070005)).",
       "That did not work.\r\nThe files could not be written (Access is denied. (0x80070005))."},
      {"one\r\ntwo", "That did not work.\r\none\r\ntwo"},
      {"", "That did not work.\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(copy_text(state_on(Mode::install(), Screen::error(c.message))), c.copied);
  // In the window's language, also for a refusal.
  EXPECT_EQ(copy_text(state_on(Mode::install(), Screen::refusal("x"), LanguageCode{{'d', 'e'}})),
            std::string(table_for(LanguageCode{{'d', 'e'}})[StringId::ErrorTitle]) + "\r\nx");
  for (const Screen& screen : {Screen::welcome(), Screen::progress(), Screen::done()}) {
    EXPECT_EQ(copy_text(state_on(Mode::install(), screen)), "") << static_cast<int>(screen.kind);
  }
}

TEST(WindowInput, AsksSignOutToWaitOnlyWhileAnOperationRuns) {
  const LanguageCode french{{'f', 'r'}};
  struct Case {
    Mode mode;
    Screen screen;
    std::optional<std::string_view> reason;
  };
  const Case cases[] = {
      {Mode::install(), Screen::progress(), "Installation de vestrana"},
      {Mode::update("1.0.0"), Screen::progress(), "Installation de vestrana"},
      {Mode::remove(), Screen::progress(), table_for(french)[StringId::StepRemoving]},
      {Mode::install(), Screen::welcome(), std::nullopt},
      {Mode::install(), Screen::done(), std::nullopt},
      {Mode::remove(), Screen::error("x"), std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shutdown_block_reason(state_on(c.mode, c.screen, french)), c.reason) << static_cast<int>(c.screen.kind);
  }
}

}  // namespace
}  // namespace vestrana
