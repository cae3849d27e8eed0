#pragma once
// The window's decisions, kept apart from the Win32 calls that carry them
// out: what a key does, which cursor shows, where a press drags the window,
// what Ctrl+C copies and why sign-out should wait.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ui/screens.h"
#include "ui/ui_state.h"

namespace vestrana {

// Windows' virtual-key codes of the keys the window answers.
inline constexpr uint32_t kKeyTab = 0x09;  // VK_TAB
inline constexpr uint32_t kKeyReturn = 0x0D;  // VK_RETURN
inline constexpr uint32_t kKeyEscape = 0x1B;  // VK_ESCAPE
inline constexpr uint32_t kKeySpace = 0x20;  // VK_SPACE
inline constexpr uint32_t kKeyInsert = 0x2D;  // VK_INSERT
inline constexpr uint32_t kKeyC = 0x43;  // 'C'

enum class KeyAction : uint8_t {
  None,
  Primary,  // Return
  Escape,  // Escape
  FocusNext,  // Tab
  FocusPrevious,  // Shift+Tab
  SpaceDown,
  SpaceUp,
  Copy,  // Ctrl+C or Ctrl+Insert, as in Windows' message boxes
};

struct KeyModifiers {
  bool shift = false;
  bool control = false;
};

// What a key going down (`down`) or coming up does.
KeyAction key_action(uint32_t key, KeyModifiers modifiers, bool down);

// Carries out a key's action on the state; Copy is left to the window,
// which owns the clipboard (see copy_text).
void apply_key(UiState& state, KeyAction action, WindowEffects& effects, OperationRunner& runner);

// The hand over what can be clicked, the arrow elsewhere.
bool shows_hand_cursor(HitKind kind);

// A press on no element drags the window, as on a caption.
bool drags_window(ElementRef under_pointer);

// What Ctrl+C copies: on the error screen its heading, a line break (CR LF,
// as plain text on the clipboard has them) and the whole error as it came,
// however many lines of it the screen shows; nothing on any other screen.
std::string copy_text(const UiState& state);

// Why sign-out or restart should wait: while an operation runs, the
// removal's own step text or the install's reason, in the window's
// language; nothing otherwise.
std::optional<std::string_view> shutdown_block_reason(const UiState& state);

}  // namespace vestrana
