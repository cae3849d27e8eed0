#include "ui/ui_state.h"

#include "base/product.h"
#include "ui/interactive_start.h"

namespace vestrana {

UiState make_initial_state(const InteractiveStart& start, FontSet fonts, Clock::TimePoint now) {
  UiState state(std::move(fonts));
  state.options = start.options;
  state.option_anim.reserve(start.options.size());
  for (bool on : start.options) state.option_anim.push_back(on ? 1.0f : 0.0f);
  state.mode = start.mode;
  state.screen = start.refusal.empty() ? Screen::welcome() : Screen::refusal(start.refusal);
  state.strings = start.strings;
  state.version = std::string(kSetupVersion);
  state.dark = start.dark;
  state.active = true;
  state.step = Step::ClosingApp;
  state.target_dir = start.target_folder;
  state.last_tick = now;
  state.focus = ElementRef{HitKind::Primary, 0};
  return state;
}

}  // namespace vestrana
