#include "ui/accessible_tree.h"

#include <algorithm>
#include <string_view>

#include "base/product.h"
#include "ui/screen_text.h"
#include "ui/screens.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

struct TreeBuilder {
  const UiState& state;
  const FontSet& fonts;
  std::vector<ScreenText> texts;
  std::vector<AccessibleElement> tree;

  std::string_view text(StringId id) const { return label_text(state, id); }

  // A painted text, in the rectangle round its ink as laid out (fitted).
  void add_text(TextPart part, uint32_t index = 0) {
    const ScreenText* t = find_text(texts, part, index);
    if (t == nullptr) return;
    AccessibleElement e;
    e.role = AccessibleRole::StaticText;
    e.name = shown_text(*t);
    e.rect = t->bounds();
    tree.push_back(std::move(e));
  }

  void add_control(AccessibleRole role, std::string_view name, ElementRef element, LayoutRect rect) {
    AccessibleElement e;
    e.role = role;
    e.name = std::string(name);
    e.element = element;
    e.rect = rect;
    e.default_action = role == AccessibleRole::CheckButton ? "Toggle" : "Press";
    const std::vector<ElementRef> order = focus_order(state);
    e.focusable = std::find(order.begin(), order.end(), element) != order.end();
    e.focused = e.focusable && state.focus == element;
    if (role == AccessibleRole::CheckButton)
      e.checked = element.index < state.options.size() && state.options[element.index];
    tree.push_back(std::move(e));
  }

  void header() {
    add_text(TextPart::ProductName);
    add_text(TextPart::Subtitle);
    add_text(TextPart::UpdateBadge);
  }

  void welcome() {
    add_text(TextPart::RemoveQuestion);
    for (uint32_t i = 0; i < state.options.size(); ++i) {
      const std::optional<LayoutRect> r = toggle_rect(state, fonts, i);
      const ScreenText* label = find_text(texts, TextPart::OptionLabel, i);
      if (r && label) add_control(AccessibleRole::CheckButton, label->text, ElementRef{HitKind::Toggle, i}, *r);
    }
  }

  void progress() {
    add_text(TextPart::StepText);
    add_text(TextPart::Percent);
    AccessibleElement bar;
    bar.role = AccessibleRole::ProgressBar;
    bar.value = percent_text(state.progress_shown);
    bar.rect = kProgressBarRect;
    tree.push_back(std::move(bar));
  }

  void outcome() {
    add_text(TextPart::Heading);
    if (state.screen.kind == Screen::Error && !tree.empty()) {
      tree.back().role = AccessibleRole::Alert;
      tree.back().description = state.screen.message;
    }
    add_text(TextPart::Body);
  }

  // What the screen says beyond its controls: the heading and the whole
  // body on Done and Error, the question when asking to remove.
  std::string message() const {
    std::string said;
    for (TextPart part : {TextPart::RemoveQuestion, TextPart::Heading, TextPart::Body}) {
      const ScreenText* t = find_text(texts, part);
      if (t == nullptr || t->text.empty()) continue;
      if (!said.empty()) said += ' ';
      said += t->text;
    }
    return said;
  }

  void buttons() {
    if (std::optional<LayoutRect> r = secondary_button_rect(state, fonts)) {
      add_control(AccessibleRole::PushButton, text(*secondary_label_id(state.screen, state.mode)),
                  ElementRef{HitKind::Secondary, 0}, *r);
    }
    if (std::optional<LayoutRect> r = primary_button_rect(state, fonts)) {
      add_control(AccessibleRole::PushButton, text(*primary_label_id(state.screen, state.mode)),
                  ElementRef{HitKind::Primary, 0}, *r);
    }
  }

  void title_bar() {
    const StringTable& table = state.strings != nullptr ? *state.strings : table_for(LanguageCode{});
    add_control(AccessibleRole::PushButton, title_button_name(table, false), ElementRef{HitKind::Minimize, 0},
                kMinimizeRect);
    add_control(AccessibleRole::PushButton, title_button_name(table, true), ElementRef{HitKind::Close, 0}, kCloseRect);
    tree.back().unavailable = !close_allowed(state);
  }

  void build() {
    if (state.strings != nullptr) {
      header();
      switch (state.screen.kind) {
        case Screen::Welcome: welcome(); break;
        case Screen::Progress: progress(); break;
        case Screen::Done:
        case Screen::Error: outcome(); break;
      }
      buttons();
    }
    title_bar();
    for (AccessibleElement& e : tree) {
      if (e.focused) e.description = message();
    }
  }
};

}  // namespace

std::vector<AccessibleElement> accessible_tree(const UiState& state, const FontSet& fonts) {
  TreeBuilder builder{state, fonts, screen_texts(state, fonts), {}};
  builder.build();
  return std::move(builder.tree);
}

uint32_t child_id_of(const std::vector<AccessibleElement>& tree, ElementRef element) {
  if (element.is_nothing()) return 0;
  for (size_t i = 0; i < tree.size(); ++i) {
    if (tree[i].element == element) return static_cast<uint32_t>(i + 1);
  }
  return 0;
}

uint32_t child_at(const std::vector<AccessibleElement>& tree, float x, float y) {
  uint32_t text = 0;
  for (size_t i = 0; i < tree.size(); ++i) {
    if (!tree[i].rect.contains(x, y)) continue;
    if (!tree[i].element.is_nothing()) return static_cast<uint32_t>(i + 1);
    if (text == 0) text = static_cast<uint32_t>(i + 1);
  }
  return text;
}

std::string screen_announcement(const UiState& state) {
  if (state.strings == nullptr) return std::string(kProductName);
  const StringTable& s = *state.strings;
  switch (state.screen.kind) {
    case Screen::Welcome:
      return std::string(s[state.mode.kind == Mode::Remove ? StringId::RemoveTitle : StringId::SetupTitle]);
    case Screen::Progress: return std::string(s[step_label(state.step)]);
    case Screen::Done:
      return std::string(s[state.mode.kind == Mode::Remove ? StringId::RemovedTitle : StringId::DoneTitle]);
    case Screen::Error: return std::string(s[StringId::ErrorTitle]) + " " + state.screen.message;
  }
  return {};
}

std::vector<AccessibleEvent> AccessibleEvents::update(const UiState& state, const FontSet& fonts) {
  std::vector<AccessibleEvent> events;
  const bool first = !seen_;
  const bool new_screen = !first && !(state.screen == screen_);
  const bool focus_moved = !first && state.focus != focus_;
  const bool switched = !first && !new_screen && state.options != options_;
  const bool new_step = !first && !new_screen && state.screen.kind == Screen::Progress && state.step != step_;
  const std::string value = state.screen.kind == Screen::Progress ? percent_text(state.progress_shown) : std::string();
  const bool new_value = !first && !new_screen && value != value_ && state.clock - value_clock_ >= kValueEventSeconds;

  if (new_screen || focus_moved || switched || new_step || new_value) {
    const std::vector<AccessibleElement> tree = accessible_tree(state, fonts);
    auto find_role = [&tree](AccessibleRole role) {
      for (size_t i = 0; i < tree.size(); ++i) {
        if (tree[i].role == role) return static_cast<uint32_t>(i + 1);
      }
      return uint32_t{0};
    };
    if (new_screen) {
      events.push_back({AccessibleEvent::NameChange, 0});
      if (uint32_t alert = find_role(AccessibleRole::Alert)) events.push_back({AccessibleEvent::Alert, alert});
    }
    if (switched) {
      for (uint32_t i = 0; i < state.options.size(); ++i) {
        if (i < options_.size() && options_[i] == state.options[i]) continue;
        if (uint32_t child = child_id_of(tree, ElementRef{HitKind::Toggle, i})) {
          events.push_back({AccessibleEvent::StateChange, child});
        }
      }
    }
    // The step text is the first text after the header on Progress.
    if (new_step) {
      const uint32_t bar = find_role(AccessibleRole::ProgressBar);
      if (bar > 2) events.push_back({AccessibleEvent::NameChange, bar - 2});
    }
    if (new_value) {
      if (uint32_t bar = find_role(AccessibleRole::ProgressBar)) events.push_back({AccessibleEvent::ValueChange, bar});
    }
    if ((new_screen || focus_moved) && !state.focus.is_nothing()) {
      if (uint32_t child = child_id_of(tree, state.focus)) events.push_back({AccessibleEvent::Focus, child});
    }
  }

  seen_ = true;
  screen_ = state.screen;
  focus_ = state.focus;
  options_ = state.options;
  step_ = state.step;
  if (first || new_screen || new_value) {
    value_ = value;
    value_clock_ = state.clock;
  }
  return events;
}

std::vector<AccessibleEvent> AccessibleEvents::focus_gained(const UiState& state, const FontSet& fonts) {
  if (state.focus.is_nothing()) return {};
  const uint32_t child = child_id_of(accessible_tree(state, fonts), state.focus);
  if (child == 0) return {};
  return {{AccessibleEvent::Focus, child}};
}

}  // namespace vestrana
