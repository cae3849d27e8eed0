#include "ui/screen_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/product.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

// The fixed places of the texts on the 640 x 420 canvas.
constexpr float kContentLeft = 48;
constexpr float kButtonBaseline = 361.5f;
constexpr float kBodySize = 13;
constexpr float kBodyLineStep = 18;
constexpr float kPercentRight = 592;

// A run drawn as it is, measured with its letter spacing.
FittedText as_is(const FontSet& fonts, std::string_view text, float size, int font, float spacing = 0) {
  const auto chars = std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
  return FittedText{std::string(text), size,
                    measure_text(fonts, text, size, font) + spacing * static_cast<float>(chars)};
}

struct Builder {
  const UiState& state;
  const FontSet& fonts;
  TextAnchors anchors;
  std::vector<ScreenText> texts;

  std::string_view text(StringId id) const { return label_text(state, id); }

  ScreenText& add(TextPart part, std::string_view whole, float size, int font, float spacing = 0) {
    ScreenText t;
    t.part = part;
    t.text = std::string(whole);
    t.size = size;
    t.font = font;
    t.letter_spacing = spacing;
    texts.push_back(std::move(t));
    return texts.back();
  }

  static void put(ScreenText& t, std::string_view wrapped, FittedText run, float x, float baseline) {
    t.lines.push_back(TextLine{std::string(wrapped), std::move(run), x, baseline});
  }

  // A one-line text that must end kTextRoom before `limit`.
  ScreenText& add_fitted(TextPart part, std::string_view whole, float x, float baseline, float limit, float size,
                         int font, float spacing = 0) {
    ScreenText& t = add(part, whole, size, font, spacing);
    t.limit = limit;
    put(t, whole, fit_before(fonts, whole, x, limit, size, font, spacing), x, baseline);
    return t;
  }

  void header() {
    const float y0 = anchors.header_top;
    ScreenText& name = add(TextPart::ProductName, kProductName, 40, kFontExtraBold, -1);
    put(name, kProductName, as_is(fonts, kProductName, 40, kFontExtraBold, -1), 46, y0 + 108);
    if (state.strings == nullptr) return;
    const std::string subtitle = fill_version(text(StringId::Subtitle), state.version, {});
    add_fitted(TextPart::Subtitle, subtitle, 48, y0 + 138, kHeaderTextLimit, 13.5f, kFontMedium);
    if (state.mode.kind == Mode::Update) {
      const std::string badge = fill_version(text(StringId::UpdateFrom), state.version, state.mode.installed_version);
      // The pill's right end, 12 units past the text, keeps the room.
      ScreenText& t = add(TextPart::UpdateBadge, badge, 12, kFontBold);
      t.limit = kHeaderTextLimit - 12;
      put(t, badge, fit_before(fonts, badge, 60, *t.limit, 12, kFontBold), 60, y0 + 171.5f);
      t.pill = LayoutRect{48, y0 + 154, t.lines[0].run.width + 24, 26};
    }
  }

  void welcome() {
    const float limit = content_text_limit(state, fonts);
    if (state.mode.kind == Mode::Remove) {
      add_fitted(TextPart::RemoveQuestion, text(StringId::RemoveQuestion), kContentLeft, 336, limit, 15, kFontBold);
    }
    for (uint32_t i = 0; i < state.options.size(); ++i) {
      const std::optional<LayoutRect> r = toggle_rect(state, fonts, i);
      std::optional<FittedText> label = option_label(state, fonts, i);
      if (!r || !label) continue;
      const std::string_view whole = text(*option_label_id(state.screen, state.mode, i));
      ScreenText& t = add(TextPart::OptionLabel, whole, kOptionLabelSize, kFontMedium);
      t.index = i;
      t.limit = limit;
      put(t, whole, std::move(*label), r->x + kOptionLabelOffset, r->y + 18.5f);
    }
  }

  void progress() {
    add_fitted(TextPart::StepText, text(step_label(state.step)), kContentLeft, 340, content_text_limit(state, fonts),
               14, kFontMedium);
    const std::string percent = percent_text(state.progress_shown);
    ScreenText& t = add(TextPart::Percent, percent, 13, kFontBold);
    FittedText run = as_is(fonts, percent, 13, kFontBold);
    const float x = kPercentRight - run.width;
    put(t, percent, std::move(run), x, 340);
  }

  void outcome() {
    const bool done = state.screen.kind == Screen::Done;
    const bool removed = state.mode.kind == Mode::Remove;
    StringId title = StringId::ErrorTitle;
    std::string_view body = state.screen.message;
    if (done) {
      title = removed ? StringId::RemovedTitle : StringId::DoneTitle;
      body = text(removed ? StringId::RemovedHint : StringId::DoneHint);
    }
    const float o = anchors.outcome_drop;
    const float buttons_left = content_text_limit(state, fonts);
    add_fitted(TextPart::Heading, text(title), kContentLeft, 342 + o, buttons_left, 17, kFontBold, -0.2f);
    // The body wraps in the room left of the buttons, with a little air; a
    // single word too long for any line (a path in an error text) is fitted.
    ScreenText& t = add(TextPart::Body, body, kBodySize, kFontMedium);
    t.limit = buttons_left;
    std::vector<std::string> lines = wrap_body_lines(fonts, body, buttons_left - kContentLeft - 16);
    if (lines.size() > kMaxBodyLines) lines.resize(kMaxBodyLines);
    for (size_t j = 0; j < lines.size(); ++j) {
      put(t, lines[j], fit_before(fonts, lines[j], kContentLeft, buttons_left, kBodySize, kFontMedium), kContentLeft,
          366 + kBodyLineStep * static_cast<float>(j) + o);
    }
  }

  // A button's label, centred in the button.
  void label(TextPart part, std::optional<StringId> id, const std::optional<LayoutRect>& r, float size) {
    if (!id || !r) return;
    const std::string_view s = text(*id);
    ScreenText& t = add(part, s, size, kFontBold);
    FittedText run = as_is(fonts, s, size, kFontBold);
    const float x = r->x + r->w / 2 - run.width / 2;
    put(t, s, std::move(run), x, kButtonBaseline);
  }

  void build() {
    header();
    if (state.strings == nullptr) return;
    switch (state.screen.kind) {
      case Screen::Welcome: welcome(); break;
      case Screen::Progress: progress(); break;
      case Screen::Done:
      case Screen::Error: outcome(); break;
    }
    label(TextPart::SecondaryLabel, secondary_label_id(state.screen, state.mode), secondary_button_rect(state, fonts),
          kSecondaryLabelSize);
    label(TextPart::PrimaryLabel, primary_label_id(state.screen, state.mode), primary_button_rect(state, fonts),
          kPrimaryLabelSize);
  }
};

}  // namespace

LayoutRect TextLine::rect() const { return LayoutRect{x, baseline - 0.97f * run.size, run.width, 1.21f * run.size}; }

LayoutRect ScreenText::bounds() const {
  if (pill) return *pill;
  if (lines.empty()) return LayoutRect{};
  LayoutRect r = lines.front().rect();
  for (const TextLine& line : lines) {
    const LayoutRect l = line.rect();
    const float right = std::max(r.right(), l.right());
    const float bottom = std::max(r.bottom(), l.bottom());
    r.x = std::min(r.x, l.x);
    r.y = std::min(r.y, l.y);
    r.w = right - r.x;
    r.h = bottom - r.y;
  }
  return r;
}

std::vector<ScreenText> screen_texts(const UiState& state, const FontSet& fonts, TextAnchors anchors) {
  Builder builder{state, fonts, anchors, {}};
  builder.build();
  return std::move(builder.texts);
}

const ScreenText* find_text(const std::vector<ScreenText>& texts, TextPart part, uint32_t index) {
  for (const ScreenText& t : texts) {
    if (t.part == part && t.index == index) return &t;
  }
  return nullptr;
}

std::string shown_text(const ScreenText& text) {
  std::string shown;
  for (const TextLine& line : text.lines) {
    if (!shown.empty()) shown += ' ';
    shown += line.wrapped;
  }
  return shown;
}

bool is_control_label(TextPart part) {
  return part == TextPart::OptionLabel || part == TextPart::SecondaryLabel || part == TextPart::PrimaryLabel;
}

std::vector<std::string> wrap_body_lines(const FontSet& fonts, std::string_view text, float max_width) {
  std::vector<std::string> lines;
  std::string line;
  bool first = true;
  size_t start = 0;
  while (true) {
    const size_t space = text.find(' ', start);
    const size_t length = space == std::string_view::npos ? std::string_view::npos : space - start;
    const std::string_view word = text.substr(start, length);
    if (first) {
      line.assign(word);
      first = false;
    } else {
      std::string joined = line;
      joined += ' ';
      joined += word;
      if (measure_text(fonts, joined, kBodySize, kFontMedium) <= max_width) {
        line = std::move(joined);
      } else {
        lines.push_back(std::move(line));
        line.assign(word);
      }
    }
    if (space == std::string_view::npos) break;
    start = space + 1;
  }
  if (!text.empty()) lines.push_back(std::move(line));
  return lines;
}

std::string percent_text(float progress) {
  double n = std::round(100.0 * static_cast<double>(progress));
  if (std::isnan(n)) n = 0;
  n = std::clamp(n, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                 static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  char digits[16];
  auto [end, ec] = std::to_chars(std::begin(digits), std::end(digits), static_cast<std::int32_t>(n));
  (void)ec;  // 16 characters hold every 32-bit number
  std::string text(digits, end);
  text += " %";
  return text;
}

}  // namespace vestrana
