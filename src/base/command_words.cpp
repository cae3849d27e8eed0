#include "base/command_words.h"

namespace vestrana {
namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> split_command_line(std::string_view s) {
  std::vector<std::string> words;
  if (s.empty()) return words;

  // The program path: quotes only toggle, nothing is escaped, so that
  // "C:\dir\" (a trailing backslash before the quote) still reads as a path.
  size_t i = 0;
  bool in_quotes = false;
  std::string program;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      in_quotes = !in_quotes;
    } else if (is_blank(c) && !in_quotes) {
      break;
    } else {
      program += c;
    }
  }
  words.push_back(std::move(program));

  while (true) {
    while (i < s.size() && is_blank(s[i])) ++i;
    if (i >= s.size()) break;
    std::string word;
    in_quotes = false;
    while (i < s.size()) {
      char c = s[i];
      if (is_blank(c) && !in_quotes) break;
      if (c == '\\') {
        size_t run_end = i;
        while (run_end < s.size() && s[run_end] == '\\') ++run_end;
        size_t count = run_end - i;
        if (run_end < s.size() && s[run_end] == '"') {
          word.append(count / 2, '\\');
          if (count % 2 == 1) {
            word += '"';
            i = run_end + 1;
          } else {
            i = run_end;  // the quote is handled as a quote below
          }
        } else {
          word.append(count, '\\');
          i = run_end;
        }
        continue;
      }
      if (c == '"') {
        if (in_quotes && i + 1 < s.size() && s[i + 1] == '"') {
          word += '"';
          i += 2;
        } else {
          in_quotes = !in_quotes;
          ++i;
        }
        continue;
      }
      word += c;
      ++i;
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string quote_argument(std::string_view argument) {
  bool needs_quotes = argument.empty();
  for (char c : argument) {
    if (is_blank(c) || c == '"') needs_quotes = true;
  }
  if (!needs_quotes) return std::string(argument);

  std::string out = "\"";
  size_t i = 0;
  while (true) {
    size_t run_end = i;
    while (run_end < argument.size() && argument[run_end] == '\\') ++run_end;
    size_t count = run_end - i;
    if (run_end == argument.size()) {
      // Doubled, so that the closing quote stays a quote.
      out.append(2 * count, '\\');
      break;
    }
    if (argument[run_end] == '"') {
      out.append(2 * count + 1, '\\');
      out += '"';
    } else {
      out.append(count, '\\');
      out += argument[run_end];
    }
    i = run_end + 1;
  }
  out += '"';
  return out;
}

std::string build_command_line(std::string_view program, const std::vector<std::string>& args) {
  std::string out = "\"";
  for (char c : program) {
    if (c != '"') out += c;
  }
  out += '"';
  for (const std::string& arg : args) {
    out += ' ';
    out += quote_argument(arg);
  }
  return out;
}

}  // namespace vestrana
