// The error screen of a run that may not start at all: it says why, in every
// language, and its one button closes the window instead of retrying.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_flow.h"
#include "ui/layout.h"
#include "ui/screen_text.h"
#include "ui/screens.h"
#include "ui/ui_state.h"

namespace vestrana {
namespace {

struct ClosingEffects final : WindowEffects {
  int closes = 0;
  void minimize() override {}
  void request_close() override { ++closes; }
  void launch_app() override {}
};

struct CountingRunner final : OperationRunner {
  int started = 0;
  void start(ProgressRef, OperationRequest) override { ++started; }
};

UiState refused_state(Mode mode, LanguageCode language) {
  InteractiveStart start;
  start.mode = std::move(mode);
  start.strings = &table_for(language);
  start.refusal = std::string(string_for(*start.strings, StringId::ErrorLocalSystem));
  return make_initial_state(start, load_fonts(), Clock::TimePoint{});
}

TEST(RefusalScreen, OffersOnlyCloseAndNeverStartsTheOperation) {
  for (Mode mode : {Mode::install(), Mode::remove()}) {
    UiState state = refused_state(mode, LanguageCode{});
    EXPECT_EQ(state.screen.kind, Screen::Error);
    EXPECT_EQ(primary_label_id(state.screen, state.mode), StringId::ButtonClose);
    EXPECT_EQ(secondary_label_id(state.screen, state.mode), std::nullopt);

    ClosingEffects effects;
    CountingRunner runner;
    handle_action(state, ElementRef{HitKind::Primary, 0}, effects, runner);
    EXPECT_EQ(runner.started, 0);
    EXPECT_EQ(effects.closes, 1);
    EXPECT_EQ(state.screen.kind, Screen::Error);
  }
}

// The screen draws at most three lines of the body: the whole sentence must
// fit in them in every language.
TEST(RefusalScreen, TheWholeReasonFitsOnTheScreenInEveryLanguage) {
  for (LanguageCode code : {LanguageCode{{'e', 'n'}}, LanguageCode{{'d', 'e'}}, LanguageCode{{'f', 'r'}},
                            LanguageCode{{'e', 's'}}, LanguageCode{{'i', 't'}}, LanguageCode{{'t', 'r'}}}) {
    SCOPED_TRACE(std::string(code.text()));
    UiState state = refused_state(Mode::install(), code);
    const std::vector<ScreenText> texts = screen_texts(state, state.fonts);
    ASSERT_NE(find_text(texts, TextPart::Heading), nullptr);
    EXPECT_EQ(find_text(texts, TextPart::Heading)->text, (*state.strings)[StringId::ErrorTitle]);
    const ScreenText* body = find_text(texts, TextPart::Body);
    ASSERT_NE(body, nullptr);
    std::string joined;
    for (const TextLine& line : body->lines) joined += (joined.empty() ? "" : " ") + line.run.text;
    EXPECT_EQ(joined, state.screen.message);
  }
}

}  // namespace
}  // namespace vestrana
