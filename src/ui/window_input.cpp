#include "ui/window_input.h"

namespace vestrana {

KeyAction key_action(uint32_t key, KeyModifiers modifiers, bool down) {
  if (!down) return key == kKeySpace ? KeyAction::SpaceUp : KeyAction::None;
  switch (key) {
    case kKeyReturn: return KeyAction::Primary;
    case kKeyEscape: return KeyAction::Escape;
    case kKeyTab: return modifiers.shift ? KeyAction::FocusPrevious : KeyAction::FocusNext;
    case kKeySpace: return KeyAction::SpaceDown;
    case kKeyC:
    case kKeyInsert: return modifiers.control && !modifiers.shift ? KeyAction::Copy : KeyAction::None;
    default: return KeyAction::None;
  }
}

void apply_key(UiState& state, KeyAction action, WindowEffects& effects, OperationRunner& runner) {
  switch (action) {
    case KeyAction::Primary: on_return_key(state, effects, runner); return;
    case KeyAction::Escape: on_escape_key(state, effects, runner); return;
    case KeyAction::FocusNext: move_focus(state, false); return;
    case KeyAction::FocusPrevious: move_focus(state, true); return;
    case KeyAction::SpaceDown: on_space_down(state); return;
    case KeyAction::SpaceUp: on_space_up(state, effects, runner); return;
    case KeyAction::Copy:
    case KeyAction::None: return;
  }
}

bool shows_hand_cursor(HitKind kind) {
  return kind == HitKind::Primary || kind == HitKind::Secondary || kind == HitKind::Toggle;
}

bool drags_window(ElementRef under_pointer) { return under_pointer.is_nothing(); }

std::string copy_text(const UiState& state) {
  if (state.screen.kind != Screen::Error || state.strings == nullptr) return {};
  std::string text((*state.strings)[StringId::ErrorTitle]);
  text += "\r\n";
  text += state.screen.message;
  return text;
}

std::optional<std::string_view> shutdown_block_reason(const UiState& state) {
  if (state.screen.kind != Screen::Progress || state.strings == nullptr) return std::nullopt;
  return (*state.strings)[state.mode.kind == Mode::Remove ? StringId::StepRemoving : StringId::ShutdownReason];
}

}  // namespace vestrana
