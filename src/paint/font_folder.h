#pragma once
// Where the faces for characters that the embedded Inter faces lack come
// from: font files of the system's fonts folder, opened by file name. The
// program never carries these faces; it reads the system's own copies, and
// only when a text holds a character that Inter does not map.

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace vestrana {

// The bytes of one font file, readable for as long as this object lives
// (FreeType reads the face's tables from them on every glyph it loads).
class FontFile {
 public:
  virtual ~FontFile() = default;
  virtual std::span<const uint8_t> bytes() const = 0;
};

// A font file held in memory, for folders that read files whole.
class FontFileBytes final : public FontFile {
 public:
  explicit FontFileBytes(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  std::span<const uint8_t> bytes() const override { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

class FontFolder {
 public:
  virtual ~FontFolder() = default;
  // The file of that name in the folder; null when it is absent, empty or
  // cannot be read.
  virtual std::unique_ptr<FontFile> open(std::string_view file_name) = 0;
};

// The fallback faces, in the order a character is looked up in them: Segoe
// UI (Latin, Greek, Cyrillic, Arabic, Hebrew and more), the faces Windows
// itself uses for Chinese, Japanese and Korean (Microsoft YaHei, Yu Gothic
// Medium, Malgun Gothic), the Indic scripts (Nirmala UI, a .ttf up to
// Windows 10 and a collection since Windows 11), South-East Asian scripts
// (Leelawadee UI) and symbols (Segoe UI Symbol). Each is face 0 of its file;
// a file that is missing is skipped.
inline constexpr std::string_view kFallbackFontFiles[] = {
    "segoeui.ttf", "msyh.ttc",    "YuGothM.ttc",  "malgun.ttf",
    "Nirmala.ttf", "Nirmala.ttc", "LeelawUI.ttf", "seguisym.ttf",
};
inline constexpr int kFallbackFaceCount = static_cast<int>(std::size(kFallbackFontFiles));

}  // namespace vestrana
