#pragma once
// The modes, screens and elements that the window tests name in their
// tables, spelled once.

#include <string>
#include <vector>

#include "base/mode.h"
#include "ui/ui_state.h"

namespace vestrana::ui_test_names {

inline const Mode kInstall = Mode::install();
inline const Mode kUpdate = Mode::update("1.0");
inline const Mode kRemove = Mode::remove();
inline const Screen kWelcome = Screen::welcome();
inline const Screen kProgress = Screen::progress();
inline const Screen kDone = Screen::done();
inline const Screen kError = Screen::error("x");
inline constexpr ElementRef kMinimize{HitKind::Minimize, 0};
inline constexpr ElementRef kClose{HitKind::Close, 0};
inline constexpr ElementRef kPrimary{HitKind::Primary, 0};
inline constexpr ElementRef kSecondary{HitKind::Secondary, 0};
inline constexpr ElementRef kToggle0{HitKind::Toggle, 0};
inline constexpr ElementRef kToggle1{HitKind::Toggle, 1};
inline constexpr ElementRef kNothing = ElementRef::nothing();
using Refs = std::vector<ElementRef>;
// Names a parameterised case after its row's `name`.
inline const auto kByName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace vestrana::ui_test_names
