#include "command_line.h"

#include "base/text.h"

namespace vestrana {
namespace {

constexpr std::string_view kLogPrefix = "/LOG=";

std::optional<std::string> log_file(const std::vector<std::string>& words) {
  for (size_t k = 1; k < words.size(); ++k) {
    std::optional<std::string> file;
    if (equal_ignoring_ascii_case(words[k], "--log")) {
      if (k + 1 >= words.size()) return std::nullopt;
      file = words[k + 1];
    } else if (words[k].size() >= kLogPrefix.size() &&
               equal_ignoring_ascii_case(std::string_view(words[k]).substr(0, kLogPrefix.size()), kLogPrefix)) {
      file = words[k].substr(kLogPrefix.size());
    } else {
      continue;
    }
    if (file->empty()) return std::nullopt;
    return file;
  }
  return std::nullopt;
}

std::optional<uint64_t> decimal(const std::string& word) {
  if (word.empty()) return std::nullopt;
  uint64_t value = 0;
  for (char c : word) {
    if (c < '0' || c > '9') return std::nullopt;
    auto digit = static_cast<uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

// The word after the first `flag`, matched exactly.
std::optional<std::string> value_of(const std::vector<std::string>& words, std::string_view flag) {
  for (size_t k = 1; k < words.size(); ++k) {
    if (words[k] == flag) return k + 1 < words.size() ? std::optional<std::string>(words[k + 1]) : std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

LaunchOptions parse_command_line(std::string_view command_line_utf8) {
  std::vector<std::string> words = split_command_line(command_line_utf8);
  LaunchOptions options;
  // Flags are looked for in every word, even in one taken as the --dir
  // value: "--dir --silent" names the folder "--silent" and is also silent.
  for (size_t k = 1; k < words.size(); ++k) {
    const std::string& w = words[k];
    if (equal_ignoring_ascii_case(w, "--uninstall")) {
      options.uninstall_flag = true;
    } else if (equal_ignoring_ascii_case(w, "--from-temp")) {
      options.from_temp = true;
    } else if (equal_ignoring_ascii_case(w, "--silent") || equal_ignoring_ascii_case(w, "/S")) {
      options.silent = true;
    } else if (equal_ignoring_ascii_case(w, "--cleanup")) {
      options.cleanup = true;
    } else if (w == "--after" && k + 1 < words.size()) {
      if (std::optional<uint64_t> value = decimal(words[k + 1])) options.after.push_back(*value);
    }
  }
  options.dir = value_of(words, "--dir");
  options.copy = value_of(words, "--copy");
  options.log = log_file(words);
  return options;
}

}  // namespace vestrana
