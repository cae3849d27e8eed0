#pragma once
// The setup's command line: the flags of one run, read out of its words.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_words.h"

namespace vestrana {

// The flags of one run, read once at start-up and never changed.
struct LaunchOptions {
  bool uninstall_flag = false;      // --uninstall
  bool from_temp = false;           // --from-temp: this is the temporary uninstaller copy
  bool silent = false;              // --silent or /S: no window
  std::optional<std::string> dir;   // the word after the first --dir

  bool operator==(const LaunchOptions&) const = default;
};

// Reads the flags from a whole command line (program path included; it is
// skipped). --uninstall, --from-temp, --silent and /S match as whole words,
// ASCII case-insensitively, anywhere. --dir matches exactly, only its first
// occurrence counts, and it takes the next word whatever that is; a --dir at
// the end gives no folder.
LaunchOptions parse_command_line(std::string_view command_line_utf8);

}  // namespace vestrana
