#pragma once
// What every result of unpack_packed_app must look like: a failure is one of
// the four fixed sentences, and a name shown in one reads back as the exact
// name that broke a rule.

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "payload/packed_app.h"
#include "base/text.h"

namespace vestrana::fuzz {

enum class Rejection { EndsEarly, NotText, UnexpectedName, Damaged };

struct Failure {
  Rejection kind;
  std::string name;  // the unquoted name of an UnexpectedName
};

// Well-formed UTF-8 is exactly the text that survives a trip through UTF-16
// unchanged (anything ill-formed comes back as U+FFFD).
inline bool is_utf8(std::string_view text) { return utf16_to_utf8(utf8_to_utf16(text)) == text; }

inline bool breaks_name_rules(std::string_view name) {
  return name.empty() || name.front() == '.' || name.find_first_of("/\\:") != std::string_view::npos;
}

// Reads the quoted form back: \" \\ \0 \t \r \n and \u{hex}; nothing when
// the quoting is malformed or a raw control character was left in.
inline std::optional<std::string> unquote(std::string_view q) {
  if (q.size() < 2 || q.front() != '"' || q.back() != '"') return std::nullopt;
  q = q.substr(1, q.size() - 2);
  std::string out;
  for (size_t i = 0; i < q.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(q[i]);
    if (c < 0x20 || c == 0x7F || c == '"') return std::nullopt;
    if (c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    if (++i == q.size()) return std::nullopt;
    switch (q[i]) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '0': out += '\0'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 'u': {
        const size_t close = q.find('}', i);
        if (i + 1 >= q.size() || q[i + 1] != '{' || close == std::string_view::npos || close == i + 2 ||
            close - i - 2 > 6) {
          return std::nullopt;
        }
        const std::string digits(q.substr(i + 2, close - i - 2));
        if (digits.find_first_not_of("0123456789abcdef") != std::string::npos || digits[0] == '0') {
          return std::nullopt;
        }
        utf16_detail::append_utf8(out, static_cast<uint32_t>(std::stoul(digits, nullptr, 16)));
        i = close;
        break;
      }
      default: return std::nullopt;
    }
  }
  return out;
}

// Aborts unless the text is one of the fixed failure sentences.
inline Failure classify_failure(std::string_view text) {
  constexpr std::string_view kDamaged = "the packed app is damaged (";
  constexpr std::string_view kUnexpected = "unexpected file name ";
  constexpr std::string_view kUnexpectedEnd = " in the packed app";
  if (text == "the packed app ends early") return {Rejection::EndsEarly, {}};
  if (text == "a file name in the packed app is not text") return {Rejection::NotText, {}};
  if (text.starts_with(kDamaged) && text.ends_with(")") && text.size() > kDamaged.size() + 1 &&
      text.find('\n') == std::string_view::npos && !text.ends_with(".)")) {
    return {Rejection::Damaged, {}};
  }
  if (text.starts_with(kUnexpected) && text.ends_with(kUnexpectedEnd)) {
    std::optional<std::string> name =
        unquote(text.substr(kUnexpected.size(), text.size() - kUnexpected.size() - kUnexpectedEnd.size()));
    if (name && is_utf8(*name) && breaks_name_rules(*name)) return {Rejection::UnexpectedName, *name};
  }
  std::abort();
}

// Every accepted entry has a name that passes the rules.
inline void check_entries(const std::vector<PackedEntry>& entries) {
  for (const PackedEntry& e : entries) {
    if (!is_utf8(e.name) || breaks_name_rules(e.name)) std::abort();
  }
}

}  // namespace vestrana::fuzz
