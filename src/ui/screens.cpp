#include "ui/screens.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "payload/uninstall.h"
#include "ui/layout.h"
#include "ui/procedure_texts.h"

namespace vestrana {

OperationRequest operation_request(const UiState& state) {
  OperationRequest request;
  request.mode = state.mode.kind;
  request.strings = state.strings;
  if (state.mode.kind == Mode::Remove) {
    request.target_dir = state.target_dir;
    request.delete_user_data = !state.options.empty() && state.options[0];
  } else {
    request.install.desktop_shortcut = state.options.size() < 1 || state.options[0];
    request.install.autostart = state.options.size() >= 2 && state.options[1];
  }
  return request;
}

void WorkerRunner::start(ProgressRef record, OperationRequest request) {
  // The procedure reaches the record through a plain pointer: start_worker
  // keeps the worker's own reference alive for as long as the procedure runs,
  // so the record is never shared by more than the window and the worker.
  ProgressRecord* progress = record.get();
  Platform* platform = platform_;
  std::span<const uint8_t> packed_app = packed_app_;
  start_worker(
      std::move(record),
      [progress, platform, packed_app, request = std::move(request)]() -> Result {
        const StringTable& table = request.strings != nullptr ? *request.strings : table_for(LanguageCode{});
        if (request.mode == Mode::Remove) {
          return uninstall(*platform, *progress, request.target_dir, request.delete_user_data, removal_refusal(table));
        }
        return install_app(*platform, *progress, request.install, install_texts(table), packed_app);
      },
      launch_);
}

void set_screen(UiState& state, Screen screen) {
  if (screen.kind == Screen::Progress && state.screen.kind != Screen::Progress) {
    state.progress_target = 0;
    state.progress_shown = 0;
  }
  state.screen = std::move(screen);
  state.screen_since = state.clock;
  state.hover = ElementRef::nothing();
  state.pressed = ElementRef::nothing();
  state.focus = initial_focus(state);
}

void start_operation(UiState& state, OperationRunner& runner) {
  state.progress.reset();
  ProgressRef record = create_progress_record();
  state.progress = record;
  set_screen(state, Screen::progress());
  runner.start(std::move(record), operation_request(state));
}

// The action rules:
//   Minimize, any screen         minimize the window
//   Close, any screen            request a close (refused later on Progress)
//   Primary on Welcome or Error  start the operation (a retry keeps the options);
//                                on a refusal's error screen, request a close
//   Primary on Progress          nothing
//   Primary on Done              after an install or update: open the app;
//                                then, in every mode, request a close
//   Secondary, any screen        request a close
//   Toggle i                     flip option i; an unknown index does nothing
void handle_action(UiState& state, ElementRef element, WindowEffects& effects, OperationRunner& runner) {
  switch (element.kind) {
    case HitKind::Minimize: effects.minimize(); return;
    case HitKind::Close:
    case HitKind::Secondary: effects.request_close(); return;
    case HitKind::Primary:
      switch (state.screen.kind) {
        case Screen::Error:
          if (!state.screen.can_retry) {
            effects.request_close();
            return;
          }
          start_operation(state, runner);
          return;
        case Screen::Welcome: start_operation(state, runner); return;
        case Screen::Progress: return;
        case Screen::Done:
          if (state.mode.kind != Mode::Remove) effects.launch_app();
          effects.request_close();
          return;
      }
      return;
    case HitKind::Toggle:
      if (element.index < state.options.size()) {
        state.options[element.index] = !state.options[element.index];
      }
      return;
    case HitKind::Nothing: return;
  }
}

void on_tick(UiState& state, Clock::TimePoint now) {
  float dt = 0;
  if (now > state.last_tick) dt = std::chrono::duration<float>(now - state.last_tick).count();
  state.last_tick = now;

  if (state.progress) {
    ProgressSnapshot snapshot = take_progress(*state.progress);
    state.step = snapshot.step;
    state.progress_target = snapshot.fraction;
    if (snapshot.outcome.kind != Outcome::Pending) {
      state.progress.reset();
      if (snapshot.outcome.kind == Outcome::Succeeded) {
        set_screen(state, Screen::done());
      } else {
        set_screen(state, Screen::error(std::move(snapshot.outcome.message)));
      }
    }
  }

  dt = std::min(dt, kMaxTickSeconds);
  state.clock += dt;
  state.progress_shown += (state.progress_target - state.progress_shown) * std::min(kBarEaseRate * dt, 1.0f);
  float toggle_step = std::min(kToggleEaseRate * dt, 1.0f);
  size_t count = std::min(state.options.size(), state.option_anim.size());
  for (size_t i = 0; i < count; ++i) {
    float target = state.options[i] ? 1.0f : 0.0f;
    state.option_anim[i] += (target - state.option_anim[i]) * toggle_step;
  }
}

bool close_allowed(const UiState& state) { return state.screen.kind != Screen::Progress; }

void on_return_key(UiState& state, WindowEffects& effects, OperationRunner& runner) {
  std::vector<HitRegion> regions = layout_regions(state, state.fonts);
  bool has_primary =
      std::any_of(regions.begin(), regions.end(), [](const HitRegion& r) { return r.kind == HitKind::Primary; });
  if (has_primary) handle_action(state, ElementRef{HitKind::Primary, 0}, effects, runner);
}

void on_escape_key(UiState& state, WindowEffects& effects, OperationRunner& runner) {
  if (state.screen.kind == Screen::Progress) return;
  handle_action(state, ElementRef{HitKind::Close, 0}, effects, runner);
}

std::vector<ElementRef> focus_order(const UiState& state) {
  std::vector<ElementRef> order;
  if (state.screen.kind == Screen::Welcome) {
    for (uint32_t i = 0; i < state.options.size(); ++i) {
      if (option_label_id(state.screen, state.mode, i)) order.push_back(ElementRef{HitKind::Toggle, i});
    }
  }
  if (secondary_label_id(state.screen, state.mode)) order.push_back(ElementRef{HitKind::Secondary, 0});
  if (primary_label_id(state.screen, state.mode)) order.push_back(ElementRef{HitKind::Primary, 0});
  return order;
}

ElementRef initial_focus(const UiState& state) {
  if (primary_label_id(state.screen, state.mode)) return ElementRef{HitKind::Primary, 0};
  return ElementRef::nothing();
}

void move_focus(UiState& state, bool backward) {
  state.focus_visible = true;
  const std::vector<ElementRef> order = focus_order(state);
  if (order.empty()) {
    state.focus = ElementRef::nothing();
    return;
  }
  // Held Space does not follow the focus: releasing it elsewhere does nothing.
  if (!state.focus.is_nothing() && state.pressed == state.focus) state.pressed = ElementRef::nothing();
  auto at = std::find(order.begin(), order.end(), state.focus);
  if (at == order.end()) {
    state.focus = backward ? order.back() : order.front();
  } else if (backward) {
    state.focus = at == order.begin() ? order.back() : *(at - 1);
  } else {
    state.focus = at + 1 == order.end() ? order.front() : *(at + 1);
  }
}

bool take_focus(UiState& state, ElementRef element) {
  const std::vector<ElementRef> order = focus_order(state);
  if (std::find(order.begin(), order.end(), element) == order.end()) return false;
  state.focus = element;
  return true;
}

void on_space_down(UiState& state) {
  state.focus_visible = true;
  if (!state.focus.is_nothing()) state.pressed = state.focus;
}

void on_space_up(UiState& state, WindowEffects& effects, OperationRunner& runner) {
  if (state.focus.is_nothing() || state.pressed != state.focus) return;
  state.pressed = ElementRef::nothing();
  handle_action(state, state.focus, effects, runner);
}

void on_left_button_down(UiState& state, ElementRef element) {
  state.pressed = element;
  state.focus_visible = false;
  take_focus(state, element);
}

ElementRef click_target(ElementRef pressed, ElementRef released) {
  if (pressed.is_nothing() || released.is_nothing()) return ElementRef::nothing();
  if (pressed.kind != released.kind) return ElementRef::nothing();
  if (pressed.kind == HitKind::Toggle && pressed.index != released.index) {
    return ElementRef::nothing();
  }
  return pressed;
}

void on_left_button_up(UiState& state, ElementRef released, WindowEffects& effects, OperationRunner& runner) {
  ElementRef target = click_target(state.pressed, released);
  state.pressed = ElementRef::nothing();
  if (!target.is_nothing()) handle_action(state, target, effects, runner);
}

}  // namespace vestrana
