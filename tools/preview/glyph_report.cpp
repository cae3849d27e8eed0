#include "glyph_report.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace vestrana {
namespace {

class DirectoryFontFolder final : public FontFolder {
 public:
  explicit DirectoryFontFolder(std::string directory) : directory_(std::move(directory)) {}

  std::unique_ptr<FontFile> open(std::string_view file_name) override {
    const std::string path = directory_ + "/" + std::string(file_name);
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t chunk[1 << 16];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed || bytes.empty()) return nullptr;
    return std::make_unique<FontFileBytes>(std::move(bytes));
  }

 private:
  std::string directory_;
};

}  // namespace

std::unique_ptr<FontFolder> directory_font_folder(std::string directory) {
  return std::make_unique<DirectoryFontFolder>(std::move(directory));
}

std::vector<char32_t> missing_glyphs(const FontSet& fonts, std::string_view text, int font) {
  std::vector<char32_t> missing;
  for (size_t i = 0; i < text.size();) {
    const char32_t ch = utf16_detail::next_utf8(text, i);
    if (!fonts.face_for(font, ch) && std::find(missing.begin(), missing.end(), ch) == missing.end()) {
      missing.push_back(ch);
    }
  }
  return missing;
}

bool report_missing_glyphs(std::string_view lang, std::string_view where, const FontSet& fonts, std::string_view text,
                           int font) {
  const std::vector<char32_t> missing = missing_glyphs(fonts, text, font);
  if (missing.empty()) return true;
  std::printf("%.*s  %-52.*s no glyph for", static_cast<int>(lang.size()), lang.data(), static_cast<int>(where.size()),
              where.data());
  for (char32_t ch : missing) std::printf(" U+%04X", static_cast<unsigned>(ch));
  std::printf("\n");
  return false;
}

}  // namespace vestrana
