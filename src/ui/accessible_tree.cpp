#include "ui/accessible_tree.h"

#include <algorithm>
#include <string_view>

#include "base/product.h"
#include "base/progress.h"
#include "ui/paint_screen.h"
#include "ui/screens.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

// A painted line of text as a rectangle: from the font's ascender above the
// baseline to its descender below (Inter: 0.97 and 0.24 of the size).
LayoutRect text_rect(float x, float baseline, float width, float size) {
  return LayoutRect{x, baseline - 0.97f * size, width, 1.21f * size};
}

// The width of a run drawn with letter spacing after every character.
float spaced_width(const FontSet& fonts, std::string_view text, float size, int font, float spacing) {
  const auto chars = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  return measure_text(fonts, text, size, font) + spacing * static_cast<float>(chars);
}

struct TreeBuilder {
  const UiState& state;
  const FontSet& fonts;
  std::vector<AccessibleElement> tree;

  std::string_view text(StringId id) const { return label_text(state, id); }

  void add_text(std::string name, LayoutRect rect) {
    AccessibleElement e;
    e.role = AccessibleRole::StaticText;
    e.name = std::move(name);
    e.rect = rect;
    tree.push_back(std::move(e));
  }

  void add_line(std::string_view line, float x, float baseline, float size, int font, float spacing = 0) {
    add_text(std::string(line), text_rect(x, baseline, spaced_width(fonts, line, size, font, spacing), size));
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
    if (role == AccessibleRole::CheckButton) e.checked = element.index < state.options.size() && state.options[element.index];
    tree.push_back(std::move(e));
  }

  // The header once its entrance has settled (it starts 10 units lower).
  void header() {
    constexpr float y0 = 64;
    add_line(kProductName, 46, y0 + 108, 40, kFontExtraBold, -1);
    add_line(fill_version(text(StringId::Subtitle), state.version, {}), 48, y0 + 138, 13.5f, kFontMedium);
    if (state.mode.kind == Mode::Update) {
      const std::string badge = fill_version(text(StringId::UpdateFrom), state.version, state.mode.installed_version);
      const float w = measure_text(fonts, badge, 12, kFontBold);
      add_text(badge, LayoutRect{48, y0 + 154, w + 24, 26});
    }
  }

  void welcome() {
    if (state.mode.kind == Mode::Remove) add_line(text(StringId::RemoveQuestion), 48, 336, 15, kFontBold);
    for (uint32_t i = 0; i < state.options.size(); ++i) {
      const std::optional<LayoutRect> r = toggle_rect(state, fonts, i);
      const std::optional<StringId> label = option_label_id(state.screen, state.mode, i);
      if (r && label) add_control(AccessibleRole::CheckButton, text(*label), ElementRef{HitKind::Toggle, i}, *r);
    }
  }

  void progress() {
    add_line(text(step_label(state.step)), 48, 340, 14, kFontMedium);
    const std::string percent = progress_percent_text(state.progress_shown);
    const float pw = measure_text(fonts, percent, 13, kFontBold);
    add_line(percent, 592 - pw, 340, 13, kFontBold);
    AccessibleElement bar;
    bar.role = AccessibleRole::ProgressBar;
    bar.value = percent;
    bar.rect = LayoutRect{48, 356, 544, 8};
    tree.push_back(std::move(bar));
  }

  void outcome() {
    const OutcomeText shown = outcome_text(state, fonts);
    add_line(text(shown.title), 48, 342, 17, kFontBold, -0.2f);
    // The body's visible lines as one text, in one rectangle round them all.
    if (shown.body_lines.empty()) return;
    std::string body;
    float widest = 0;
    for (const std::string& line : shown.body_lines) {
      if (!body.empty()) body += ' ';
      body += line;
      widest = std::max(widest, measure_text(fonts, line, 13, kFontMedium));
    }
    LayoutRect r = text_rect(48, 366, widest, 13);
    r.h += 18 * static_cast<float>(shown.body_lines.size() - 1);
    add_text(std::move(body), r);
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
    add_control(AccessibleRole::PushButton, title_button_name(table, true), ElementRef{HitKind::Close, 0},
                kCloseRect);
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
  }
};

}  // namespace

std::vector<AccessibleElement> accessible_tree(const UiState& state, const FontSet& fonts) {
  TreeBuilder builder{state, fonts, {}};
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
  const std::string value =
      state.screen.kind == Screen::Progress ? progress_percent_text(state.progress_shown) : std::string();
  const bool new_value = !first && !new_screen && value != value_ &&
                         state.clock - value_clock_ >= kValueEventSeconds;

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
      if (state.screen.kind == Screen::Error) events.push_back({AccessibleEvent::Alert, 0});
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

}  // namespace vestrana
