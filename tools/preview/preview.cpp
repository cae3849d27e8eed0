// vestrana-preview: paints one window state, or a contact sheet of all of
// them, into a PNG with the setup's own layout, fonts and painting, so that
// screens can be looked at without Windows.
//
//   vestrana-preview [state options] -o OUT.png
//   vestrana-preview --sheet [--scale S] [--lang L] [--mode M] [--screen S] -o OUT.png
//   vestrana-preview --fit [--error TEXT]
//   vestrana-preview --layout [state options]
//
// State options:
//   --screen welcome|progress|done|error   --mode install|update|remove
//   --installed VERSION   --lang en|de|fr|es|it|tr   --dark   --inactive
//   --high-contrast (the system colours of a black high-contrast scheme)
//   --scale S   --clock T   --since D (seconds since the screen changed)
//   --progress F   --step N   --hover ELEMENT   --pressed ELEMENT
//   --focus ELEMENT (the keyboard focus, with its ring shown)
//   --options 1,0   --anim 1,0   --error TEXT
//   --fonts-dir DIR (the fallback faces, as the program finds them in the
//   system's fonts folder; without it there are none)
// ELEMENT is minimize, close, primary, secondary, toggleN or none.
//
// --sheet paints every screen x mode (columns) for every language x theme
// (rows), each cell labelled; --lang, --mode and --screen narrow it down.
// --fit prints, per language, how much room the texts that can collide
// with a neighbour have left as they are painted (negative: they overlap,
// and the exit status is 1); with --error, also for the error screen with
// that text. It then lists every character that would be drawn as a box
// because no face has it: in every text of every string table and every
// line those screens paint (with --error's text), one line per text with
// the characters' code points; any such character also makes the exit
// status 1.
// --layout prints what the window's accessible tree must report for the
// state: every text as laid out, in reading order (the text as shown, a
// tab, and the rectangle round its ink in device pixels at --scale, x,y,w,h
// rounded as the window reports locations), then every control with its
// name and rectangle (toggles, secondary, primary, minimize, close).

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "glyph_report.h"
#include "paint/pixmap.h"
#include "paint/text.h"
#include "base/product.h"
#include "ui/layout.h"
#include "ui/paint_screen.h"
#include "ui/screen_text.h"
#include "ui/palette.h"
#include "ui/strings.h"
#include "ui/ui_state.h"
#include "ui/window_geometry.h"

namespace {

using namespace vestrana;

constexpr std::string_view kLanguages[] = {"en", "de", "fr", "es", "it", "tr"};
constexpr std::string_view kScreens[] = {"welcome", "progress", "done", "error"};
constexpr std::string_view kModes[] = {"install", "update", "remove"};

[[noreturn]] void usage(const char* problem) {
  std::fprintf(stderr, "vestrana-preview: %s\n(see the comment at the top of preview.cpp for the options)\n", problem);
  std::exit(2);
}

struct Options {
  std::string screen = "welcome";
  std::string mode = "install";
  std::string installed = "1.1.0";
  std::string lang = "en";
  bool dark = false;
  bool high_contrast = false;
  bool active = true;
  float scale = 1;
  float clock = 5;
  float since = 5;
  float progress = 0.42f;
  std::optional<int> step;
  ElementRef hover = ElementRef::nothing();
  ElementRef pressed = ElementRef::nothing();
  std::optional<ElementRef> focus;
  std::optional<std::vector<float>> options;
  std::optional<std::vector<float>> anim;
  std::optional<std::string> error;
  std::optional<std::string> fonts_dir;
  std::string out;
  bool sheet = false;
  bool fit = false;
  bool layout = false;
  bool lang_set = false, mode_set = false, screen_set = false;
};

float parse_float(const char* text) {
  char* end = nullptr;
  const float v = std::strtof(text, &end);
  if (end == text || *end != '\0') usage("not a number");
  return v;
}

std::vector<float> parse_list(const char* text) {
  std::vector<float> values;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    values.push_back(parse_float(std::string(rest.substr(0, comma)).c_str()));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return values;
}

ElementRef parse_element(std::string_view name) {
  if (name == "none") return ElementRef::nothing();
  if (name == "minimize") return {HitKind::Minimize, 0};
  if (name == "close") return {HitKind::Close, 0};
  if (name == "primary") return {HitKind::Primary, 0};
  if (name == "secondary") return {HitKind::Secondary, 0};
  if (name.starts_with("toggle")) {
    name.remove_prefix(6);
    return {HitKind::Toggle, name.empty() ? 0u : static_cast<uint32_t>(std::atoi(std::string(name).c_str()))};
  }
  usage("unknown element");
}

template <size_t N>
bool one_of(const std::string& value, const std::string_view (&choices)[N]) {
  return std::find(std::begin(choices), std::end(choices), value) != std::end(choices);
}

// What each option sets from its value (null for an option without one).
struct OptionRule {
  std::string_view name;
  bool takes_value;
  void (*apply)(Options& o, const char* value);
};

constexpr OptionRule kOptionRules[] = {
    {"--screen", true, [](Options& o, const char* v) { o.screen = v, o.screen_set = true; }},
    {"--mode", true, [](Options& o, const char* v) { o.mode = v, o.mode_set = true; }},
    {"--installed", true, [](Options& o, const char* v) { o.installed = v; }},
    {"--lang", true, [](Options& o, const char* v) { o.lang = v, o.lang_set = true; }},
    {"--dark", false, [](Options& o, const char*) { o.dark = true; }},
    {"--high-contrast", false, [](Options& o, const char*) { o.high_contrast = true; }},
    {"--inactive", false, [](Options& o, const char*) { o.active = false; }},
    {"--scale", true, [](Options& o, const char* v) { o.scale = parse_float(v); }},
    {"--clock", true, [](Options& o, const char* v) { o.clock = parse_float(v); }},
    {"--since", true, [](Options& o, const char* v) { o.since = parse_float(v); }},
    {"--progress", true, [](Options& o, const char* v) { o.progress = parse_float(v); }},
    {"--step", true, [](Options& o, const char* v) { o.step = static_cast<int>(parse_float(v)); }},
    {"--hover", true, [](Options& o, const char* v) { o.hover = parse_element(v); }},
    {"--pressed", true, [](Options& o, const char* v) { o.pressed = parse_element(v); }},
    {"--focus", true, [](Options& o, const char* v) { o.focus = parse_element(v); }},
    {"--options", true, [](Options& o, const char* v) { o.options = parse_list(v); }},
    {"--anim", true, [](Options& o, const char* v) { o.anim = parse_list(v); }},
    {"--error", true, [](Options& o, const char* v) { o.error = v; }},
    {"--fonts-dir", true, [](Options& o, const char* v) { o.fonts_dir = v; }},
    {"-o", true, [](Options& o, const char* v) { o.out = v; }},
    {"--sheet", false, [](Options& o, const char*) { o.sheet = true; }},
    {"--fit", false, [](Options& o, const char*) { o.fit = true; }},
    {"--layout", false, [](Options& o, const char*) { o.layout = true; }},
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const OptionRule* rule = std::find_if(std::begin(kOptionRules), std::end(kOptionRules),
                                          [&](const OptionRule& r) { return r.name == arg; });
    if (rule == std::end(kOptionRules)) usage("unknown option");
    if (rule->takes_value && i + 1 >= argc) usage("an option lacks its value");
    rule->apply(o, rule->takes_value ? argv[++i] : nullptr);
  }
  if (!one_of(o.screen, kScreens)) usage("--screen is welcome, progress, done or error");
  if (!one_of(o.mode, kModes)) usage("--mode is install, update or remove");
  if (!one_of(o.lang, kLanguages)) usage("--lang is en, de, fr, es, it or tr");
  if (!(o.scale > 0) || o.scale > 8) usage("--scale lies in (0, 8]");
  if (!o.fit && !o.layout && o.out.empty()) usage("-o OUT.png is missing");
  return o;
}

FontSet fonts_for(const Options& o) { return load_fonts(o.fonts_dir ? directory_font_folder(*o.fonts_dir) : nullptr); }

const StringTable& table(std::string_view lang) { return table_for(LanguageCode{{lang[0], lang[1]}}); }

Mode make_mode(std::string_view mode, const std::string& installed) {
  if (mode == "update") return Mode::update(installed);
  if (mode == "remove") return Mode::remove();
  return Mode::install();
}

// Fills `state` (whose fonts are already loaded) for one screen.
void set_up(UiState& state, const Options& o, std::string_view screen, std::string_view mode, std::string_view lang,
            bool dark) {
  state.mode = make_mode(mode, o.installed);
  state.strings = &table(lang);
  state.version = std::string(kSetupVersion);
  state.dark = dark;
  state.active = o.active;
  // Windows' black high-contrast scheme: white text, cyan highlight, green
  // for what is unavailable.
  if (o.high_contrast) {
    state.high_contrast = SystemColours{.window = Color::rgb(0x000000),
                                        .window_text = Color::rgb(0xFFFFFF),
                                        .highlight = Color::rgb(0x1AEBFF),
                                        .highlight_text = Color::rgb(0x000000),
                                        .button_face = Color::rgb(0x000000),
                                        .gray_text = Color::rgb(0x3FF23F)};
  }
  state.clock = o.clock;
  state.screen_since = o.clock - o.since;
  state.progress_target = state.progress_shown = o.progress;
  state.hover = o.hover;
  state.pressed = o.pressed;
  // Without --focus the focus sits where a screen starts it, with the ring
  // hidden as before any key was pressed.
  state.focus = o.focus.value_or(ElementRef{HitKind::Primary, 0});
  state.focus_visible = o.focus.has_value();

  const bool removing = state.mode.kind == Mode::Remove;
  std::vector<float> values = o.options.value_or(removing ? std::vector<float>{0} : std::vector<float>{1, 0});
  state.options.assign(values.size(), false);
  for (size_t i = 0; i < values.size(); ++i) state.options[i] = values[i] != 0;
  state.option_anim = o.anim.value_or(values);
  state.option_anim.resize(values.size(), 0);

  const int step = o.step.value_or(removing ? 5 : 1);
  state.step = static_cast<Step>(std::clamp(step, 0, 5));

  if (screen == "welcome") state.screen = Screen::welcome();
  if (screen == "progress") state.screen = Screen::progress();
  if (screen == "done") state.screen = Screen::done();
  if (screen == "error") {
    state.screen = Screen::error(o.error.value_or(std::string((*state.strings)[StringId::ErrorWebView2])));
  }
}

Pixmap render(UiState& state, float scale) {
  Pixmap pixmap(static_cast<int>(std::lround(kCanvasWidth * scale)),
                static_cast<int>(std::lround(kCanvasHeight * scale)));
  paint_screen(state, pixmap, state.fonts, scale);
  return pixmap;
}

bool write_png(const std::string& path, const Pixmap& pixmap) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (png == nullptr || info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(pixmap.width()), static_cast<png_uint_32>(pixmap.height()), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  // PNG wants straight alpha; the pixmap keeps premultiplied pixels.
  std::vector<png_byte> row(static_cast<size_t>(pixmap.width()) * 4);
  for (int y = 0; y < pixmap.height(); ++y) {
    for (int x = 0; x < pixmap.width(); ++x) {
      const auto p = pixmap.pixel(x, y);
      for (int c = 0; c < 3; ++c) {
        row[x * 4 + c] = p[3] == 0 ? 0 : static_cast<png_byte>(std::min(255, (p[c] * 255 + p[3] / 2) / p[3]));
      }
      row[x * 4 + 3] = p[3];
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

void blit(Pixmap& dst, const Pixmap& src, int x0, int y0) {
  for (int y = 0; y < src.height(); ++y) {
    if (y0 + y < 0 || y0 + y >= dst.height()) continue;
    const int w = std::min(src.width(), dst.width() - x0);
    if (w <= 0) continue;
    std::memcpy(dst.data() + (static_cast<size_t>(y0 + y) * dst.width() + x0) * 4,
                src.data() + static_cast<size_t>(y) * src.width() * 4, static_cast<size_t>(w) * 4);
  }
}

int sheet(const Options& o) {
  std::vector<std::string_view> langs, modes, screens;
  for (auto l : kLanguages)
    if (!o.lang_set || l == o.lang) langs.push_back(l);
  for (auto m : kModes)
    if (!o.mode_set || m == o.mode) modes.push_back(m);
  for (auto s : kScreens)
    if (!o.screen_set || s == o.screen) screens.push_back(s);

  constexpr int kLabel = 22;
  constexpr int kGap = 8;
  const int cell_w = static_cast<int>(std::lround(kCanvasWidth * o.scale));
  const int cell_h = static_cast<int>(std::lround(kCanvasHeight * o.scale));
  const int cols = static_cast<int>(modes.size() * screens.size());
  const int rows = static_cast<int>(langs.size() * 2);
  Pixmap out(cols * (cell_w + kGap) + kGap, rows * (cell_h + kLabel + kGap) + kGap);
  out.fill(Color::rgb(0x808590));

  UiState state(fonts_for(o));
  FontSet labels = load_fonts();
  const TextTarget target{out.data(), static_cast<uint32_t>(out.width()), static_cast<uint32_t>(out.height()), 1};
  int row = 0;
  for (auto lang : langs) {
    for (bool dark : {false, true}) {
      int col = 0;
      for (auto mode : modes) {
        for (auto screen : screens) {
          set_up(state, o, screen, mode, lang, dark);
          const Pixmap cell = render(state, o.scale);
          const int x = kGap + col * (cell_w + kGap);
          const int y = kGap + row * (cell_h + kLabel + kGap);
          const std::string label =
              std::string(lang) + (dark ? " dark  " : " light  ") + std::string(mode) + " / " + std::string(screen);
          draw_text(target, labels, static_cast<float>(x + 2), static_cast<float>(y + 16), label, 13, kFontBold,
                    Color::rgb(0xFFFFFF), 0);
          blit(out, cell, x, y + kLabel);
          ++col;
        }
      }
      ++row;
    }
  }
  return write_png(o.out, out) ? 0 : 1;
}

// What a text that runs toward a neighbour runs toward.
const char* neighbour(TextPart part, Screen::Kind screen) {
  if (part == TextPart::Subtitle || part == TextPart::UpdateBadge) return "lowest card";
  if (screen == Screen::Progress) return "\"100 %\"";
  return screen == Screen::Welcome ? "primary" : "buttons";
}

const char* part_name(TextPart part) {
  switch (part) {
    case TextPart::Subtitle: return "subtitle";
    case TextPart::UpdateBadge: return "update badge";
    case TextPart::RemoveQuestion: return "question";
    case TextPart::StepText: return "text";
    case TextPart::Heading: return "heading";
    default: return "text";
  }
}

// One line of the fit report per painted line of every text that has a
// limit: the room it leaves before the element it must not reach, and
// whether it had to be made smaller or cut short. False when it overlaps.
bool report_fit(std::string_view lang, const std::string& scene, const ScreenText& text, Screen::Kind screen) {
  bool fits = true;
  for (size_t j = 0; j < text.lines.size(); ++j) {
    const TextLine& line = text.lines[j];
    char what[96];
    if (text.part == TextPart::OptionLabel) {
      std::snprintf(what, sizeof what, "%s option %u label vs %s", scene.c_str(), text.index,
                    neighbour(text.part, screen));
    } else if (text.part == TextPart::Body) {
      std::snprintf(what, sizeof what, "%s body line %zu vs %s", scene.c_str(), j, neighbour(text.part, screen));
    } else {
      std::snprintf(what, sizeof what, "%s %s vs %s", scene.c_str(), part_name(text.part),
                    neighbour(text.part, screen));
    }
    const float room = *text.limit - (line.x + line.run.width);
    char size[32] = "";
    if (line.run.size != text.size) std::snprintf(size, sizeof size, "  (size %.2f)", line.run.size);
    std::printf("%s  %-52s %8.2f%s%s%s\n", std::string(lang).c_str(), what, room, size,
                line.run.text != line.wrapped ? "  (cut)" : "", room < 0 ? "  OVERLAP" : "");
    fits &= room >= 0;
  }
  return fits;
}

// The screens whose texts run toward a neighbour, as the window paints
// them: every welcome mode, every step, the done and removed screens, and
// the error screen with two engine texts (and with --error's text).
struct FitScene {
  std::string name;
  const char* screen;
  const char* mode;
  int step = 0;
  std::optional<StringId> error;
};

std::vector<FitScene> fit_scenes() {
  std::vector<FitScene> scenes = {{"install", "welcome", "install", 0, std::nullopt},
                                  {"update", "welcome", "update", 0, std::nullopt},
                                  {"remove", "welcome", "remove", 0, std::nullopt}};
  for (int step = 0; step <= 5; ++step) {
    scenes.push_back({"step " + std::to_string(step), "progress", "install", step, std::nullopt});
  }
  scenes.push_back({"done", "done", "install", 0, std::nullopt});
  scenes.push_back({"removed", "done", "remove", 0, std::nullopt});
  scenes.push_back({"error (WebView2 text)", "error", "install", 0, StringId::ErrorWebView2});
  scenes.push_back({"error (no-payload text)", "error", "install", 0, StringId::ErrorNoPayload});
  return scenes;
}

// Every text that runs toward a neighbour, in every language, measured as
// it is painted (the header's texts once, with the update badge). Exit
// status 1 when any of them overlaps.
int fit_report(const Options& given) {
  UiState state(fonts_for(given));
  bool fits = true;
  // Every text that is drawn, for the list of characters without a glyph.
  struct Drawn {
    std::string_view lang;
    std::string where, text;
    int font;
  };
  std::vector<Drawn> drawn;
  std::printf("room left in logical units (negative: the text runs into its neighbour)\n");
  std::vector<FitScene> scenes = fit_scenes();
  if (given.error) scenes.push_back({"error (given text)", "error", "install", 0, std::nullopt});
  for (auto lang : kLanguages) {
    for (const FitScene& scene : scenes) {
      Options o;
      o.step = scene.step;
      o.error = scene.error ? std::string(table(lang)[*scene.error]) : given.error;
      set_up(state, o, scene.screen, scene.mode, lang, false);
      for (const ScreenText& text : screen_texts(state, state.fonts)) {
        for (size_t j = 0; j < text.lines.size(); ++j) {
          drawn.push_back({lang, scene.name + " " + part_name(text.part) + " line " + std::to_string(j),
                           text.lines[j].run.text, text.font});
        }
        const bool header = text.part == TextPart::Subtitle || text.part == TextPart::UpdateBadge;
        if (!text.limit || (header && scene.name != "update")) continue;
        fits &= report_fit(lang, header ? std::string("header") : scene.name, text, state.screen.kind);
      }
    }
  }
  for (auto lang : kLanguages) {
    for (size_t i = 0; i < kStringCount; ++i) {
      drawn.push_back({lang, "string " + std::to_string(i), std::string(table(lang).texts[i]), kFontMedium});
    }
  }
  std::printf("characters that no face has (drawn as a box)\n");
  bool boxes = false;
  for (const Drawn& d : drawn) boxes |= !report_missing_glyphs(d.lang, d.where, state.fonts, d.text, d.font);
  if (!boxes) std::printf("none\n");
  return fits && !boxes ? 0 : 1;
}

void print_rect(std::string_view name, const LayoutRect& r, float scale) {
  const int32_t x0 = device_length(r.x, scale);
  const int32_t y0 = device_length(r.y, scale);
  std::printf("%s\t%d,%d,%d,%d\n", std::string(name).c_str(), x0, y0, device_length(r.right(), scale) - x0,
              device_length(r.bottom(), scale) - y0);
}

int print_layout(const UiState& state, float scale) {
  if (state.strings == nullptr) return 1;
  const std::vector<ScreenText> texts = screen_texts(state, state.fonts);
  for (const ScreenText& text : texts) {
    if (!is_control_label(text.part)) print_rect(shown_text(text), text.bounds(), scale);
  }
  for (uint32_t i = 0; i < state.options.size(); ++i) {
    const ScreenText* label = find_text(texts, TextPart::OptionLabel, i);
    if (label != nullptr) print_rect(label->text, *toggle_rect(state, state.fonts, i), scale);
  }
  if (const ScreenText* label = find_text(texts, TextPart::SecondaryLabel)) {
    print_rect(label->text, *secondary_button_rect(state, state.fonts), scale);
  }
  if (const ScreenText* label = find_text(texts, TextPart::PrimaryLabel)) {
    print_rect(label->text, *primary_button_rect(state, state.fonts), scale);
  }
  print_rect(title_button_name(*state.strings, false), kMinimizeRect, scale);
  print_rect(title_button_name(*state.strings, true), kCloseRect, scale);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(argc, argv);
  if (o.fit) return fit_report(o);
  if (o.sheet) return sheet(o);
  UiState state(fonts_for(o));
  set_up(state, o, o.screen, o.mode, o.lang, o.dark);
  if (o.layout) return print_layout(state, o.scale);
  const Pixmap pixmap = render(state, o.scale);
  if (!write_png(o.out, pixmap)) {
    std::fprintf(stderr, "vestrana-preview: cannot write %s\n", o.out.c_str());
    return 1;
  }
  return 0;
}
