#pragma once
// The setup's command line: the flags of one run, read out of its words.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/command_words.h"

namespace vestrana {

// The flags of one run, read once at start-up and never changed.
struct LaunchOptions {
  bool uninstall_flag = false;  // --uninstall
  bool from_temp = false;  // --from-temp: this is the temporary uninstaller copy
  bool silent = false;  // --silent or /S: no window
  std::optional<std::string> dir;  // the word after the first --dir
  std::optional<std::string> log = std::nullopt;  // --log FILE or /LOG=FILE: the admin log
  // The last stage of a removal, the cleanup helper: --cleanup, --after with
  // each inherited process handle it waits for, --copy with the temporary
  // uninstaller copy it deletes, --dir with the folder of a completed removal.
  bool cleanup = false;
  std::vector<uint64_t> after = {};  // every --after followed by a decimal number
  std::optional<std::string> copy = std::nullopt;  // the word after the first --copy

  bool operator==(const LaunchOptions&) const = default;
};

// Reads the flags from a whole command line (program path included; it is
// skipped). --uninstall, --from-temp, --silent and /S match as whole words,
// ASCII case-insensitively, anywhere. --dir matches exactly, only its first
// occurrence counts, and it takes the next word whatever that is; a --dir at
// the end gives no folder, and so do --copy and its file. --cleanup matches
// as --silent does; each --after takes the next word when it is a decimal
// number that fits 64 bits. The log file is the word after --log (ASCII case
// ignored, taken as --dir takes its folder) or the rest of a word that
// begins with /LOG= (as other setup programs spell it, case ignored too);
// the first of them counts, and an empty name gives no log.
LaunchOptions parse_command_line(std::string_view command_line_utf8);

}  // namespace vestrana
