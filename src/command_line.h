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
  std::optional<std::string> log = std::nullopt;  // --log FILE or /LOG=FILE: the admin log

  bool operator==(const LaunchOptions&) const = default;
};

// Reads the flags from a whole command line (program path included; it is
// skipped). --uninstall, --from-temp, --silent and /S match as whole words,
// ASCII case-insensitively, anywhere. --dir matches exactly, only its first
// occurrence counts, and it takes the next word whatever that is; a --dir at
// the end gives no folder. The log file is the word after --log (ASCII case
// ignored, taken as --dir takes its folder) or the rest of a word that
// begins with /LOG= (as other setup programs spell it, case ignored too);
// the first of them counts, and an empty name gives no log.
LaunchOptions parse_command_line(std::string_view command_line_utf8);

}  // namespace vestrana
