#pragma once
// The setup's command line: splitting it into words by the Windows rules,
// reading the flags out of it, and the inverse (building a command line whose
// words come back exactly), which the uninstaller needs when it restarts
// itself with a folder that may contain blanks, quotes or backslashes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrana {

// The flags of one run, read once at start-up and never changed.
struct LaunchOptions {
  bool uninstall_flag = false;      // --uninstall
  bool from_temp = false;           // --from-temp: this is the temporary uninstaller copy
  bool silent = false;              // --silent or /S: no window
  std::optional<std::string> dir;   // the word after the first --dir

  bool operator==(const LaunchOptions&) const = default;
};

// Splits a command line into words. Word 0 is the program path: it ends at
// the first blank or tab outside double quotes, its quotes are dropped and its
// backslashes are literal (a path cannot contain a quote). Every later word
// follows the C runtime rules:
//  - outside quotes, blanks and tabs separate words;
//  - a double quote starts or ends a quoted stretch; inside one, two double
//    quotes give one literal quote and the stretch goes on;
//  - 2n backslashes before a quote give n backslashes, and the quote acts as
//    above; 2n+1 backslashes before a quote give n backslashes and a literal
//    quote; backslashes anywhere else are literal.
// An empty command line gives no words at all.
std::vector<std::string> split_command_line(std::string_view command_line);

// Reads the flags from a whole command line (program path included; it is
// skipped). --uninstall, --from-temp, --silent and /S match as whole words,
// ASCII case-insensitively, anywhere. --dir matches exactly, only its first
// occurrence counts, and it takes the next word whatever that is; a --dir at
// the end gives no folder.
LaunchOptions parse_command_line(std::string_view command_line_utf8);

// One argument written so that split_command_line gives it back unchanged
// (as any word after the program path).
std::string quote_argument(std::string_view argument);

// The program path in quotes, then each argument quoted as needed, separated
// by single blanks. Quotes inside the program path cannot be represented (and
// cannot occur in a Windows path); they are left out.
std::string build_command_line(std::string_view program, const std::vector<std::string>& args);

// The options of this process (Windows build only), with a relative --dir
// made absolute against the current folder.
LaunchOptions read_launch_options();

}  // namespace vestrana
