#pragma once
// The preview's view of the fallback faces: a fonts folder on the host, and
// the report of characters that no face draws (they come out as a box).

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "paint/font_folder.h"
#include "paint/text.h"

namespace vestrana {

// The files of one host directory, read whole: the same files the program
// finds in the system's fonts folder, so that a preview draws what the
// window draws with them.
std::unique_ptr<FontFolder> directory_font_folder(std::string directory);

// The characters of the text that no face maps, each once, in the order
// they first come.
std::vector<char32_t> missing_glyphs(const FontSet& fonts, std::string_view text, int font);

// Prints "<lang>  <where>  no glyph for U+XXXX ..." when the text holds such
// characters and returns false then.
bool report_missing_glyphs(std::string_view lang, std::string_view where, const FontSet& fonts, std::string_view text,
                           int font);

}  // namespace vestrana
