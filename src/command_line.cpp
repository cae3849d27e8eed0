#include "command_line.h"

#include "base/text.h"

namespace vestrana {
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
    }
  }
  for (size_t k = 1; k < words.size(); ++k) {
    if (words[k] == "--dir") {
      if (k + 1 < words.size()) options.dir = words[k + 1];
      break;
    }
  }
  return options;
}

}  // namespace vestrana
