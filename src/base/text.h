#pragma once
// UTF-8 <-> UTF-16 conversion. Text is UTF-8 everywhere inside the program;
// UTF-16 appears only at the Windows calls. Windows hands back text that need
// not be valid UTF-16 (file names may hold lone surrogates), and UTF-8 from
// the registry or the command line need not be valid either, so both
// directions replace every ill-formed part with U+FFFD instead of failing.
//
// The conversions are templates over the 16-bit code unit so that the
// Windows layer can convert straight into and out of wchar_t strings; the
// char16_t versions below are the ones the rest of the program (and the unit
// tests) use.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestrana {

// Ill-formed UTF-16 (a lone high or low surrogate) becomes U+FFFD, one per
// offending code unit.
std::string utf16_to_utf8(std::u16string_view text);

// Nothing when the text holds a lone surrogate: for callers that must not
// act on a name they could not read exactly (a folder path, for instance).
std::optional<std::string> utf16_to_utf8_strict(std::u16string_view text);

// Ill-formed UTF-8 becomes U+FFFD, one per maximal ill-formed subpart (the
// Unicode recommended practice): stray continuation bytes, truncated
// sequences, overlong forms, encoded surrogates and values above U+10FFFF.
std::u16string utf8_to_utf16(std::string_view text);

// Every `marker` in `text` replaced by `value`, in one left-to-right pass:
// the inserted value is not scanned again.
std::string replace_all(std::string_view text, std::string_view marker, std::string_view value);

// ASCII letters only: every other byte (all of UTF-8 beyond ASCII) stays as
// it is, so names compared this way must match exactly outside A-Z.
constexpr char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII case-insensitive equality (non-ASCII bytes must match exactly).
bool equal_ignoring_ascii_case(std::string_view a, std::string_view b);

namespace utf16_detail {

inline constexpr uint32_t kReplacement = 0xFFFD;

inline void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Converts UTF-16 code units to UTF-8, each lone surrogate to U+FFFD; with
// `strict`, nothing when there was one.
template <class Unit>
std::optional<std::string> utf16_units_to_utf8(std::basic_string_view<Unit> text, bool strict) {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units are 16 bits");
  bool well_formed = true;
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t unit = static_cast<uint16_t>(text[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      uint32_t next = static_cast<uint16_t>(text[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      well_formed = false;
      unit = kReplacement;
    }
    append_utf8(out, unit);
  }
  if (strict && !well_formed) return std::nullopt;
  return out;
}

// Decodes one code point from UTF-8 at text[i] and advances i past it, or
// past the maximal ill-formed subpart (returning U+FFFD).
inline uint32_t next_utf8(std::string_view text, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  ++i;
  if (lead < 0x80) return lead;
  int trail;
  uint32_t cp;
  // Range allowed for the first continuation byte: it rules out overlong
  // forms, encoded surrogates and values above U+10FFFF in one test.
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return kReplacement;  // continuation byte, C0/C1 or F5..FF
  }
  for (int k = 0; k < trail; ++k) {
    if (i >= text.size()) return kReplacement;
    unsigned char c = byte(i);
    if (c < low || c > high) return kReplacement;  // c starts the next unit
    low = 0x80;
    high = 0xBF;
    cp = (cp << 6) | (c & 0x3F);
    ++i;
  }
  return cp;
}

template <class Unit>
std::basic_string<Unit> utf8_to_utf16_units(std::string_view text) {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units are 16 bits");
  std::basic_string<Unit> out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    uint32_t cp = next_utf8(text, i);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<Unit>(0xD800 + (cp >> 10));
      out += static_cast<Unit>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<Unit>(cp);
    }
  }
  return out;
}

}  // namespace utf16_detail

// Where names are compared: one code point decoded as next_utf8 does, but a
// byte that is not part of a well-formed sequence comes back on its own as
// kIllFormedByte + its value, above the Unicode range, so that it can never
// equal (or case-fold to) a real character, and two names equal only where
// their ill-formed bytes are the same.
inline constexpr uint32_t kIllFormedByte = 0x110000;
inline uint32_t next_code_point_exact(std::string_view text, size_t& i) {
  size_t start = i;
  uint32_t cp = utf16_detail::next_utf8(text, i);
  bool literal_replacement = i - start == 3 && text.compare(start, 3, "\xEF\xBF\xBD") == 0;
  if (cp != utf16_detail::kReplacement || literal_replacement) return cp;
  i = start + 1;
  return kIllFormedByte + static_cast<unsigned char>(text[start]);
}
}  // namespace vestrana
