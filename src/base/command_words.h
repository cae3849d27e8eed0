#pragma once
// Command lines as Windows programs split them into words, and the inverse
// (building a command line whose words come back exactly), which the
// uninstaller needs when it restarts itself with a folder that may contain
// blanks, quotes or backslashes.

#include <string>
#include <string_view>
#include <vector>

namespace vestrana {

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

// One argument written so that split_command_line gives it back unchanged
// (as any word after the program path).
std::string quote_argument(std::string_view argument);

// The program path in quotes, then each argument quoted as needed, separated
// by single blanks. Quotes inside the program path cannot be represented (and
// cannot occur in a Windows path); they are left out.
std::string build_command_line(std::string_view program, const std::vector<std::string>& args);

}  // namespace vestrana
