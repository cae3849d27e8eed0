// The command line as Windows hands it over: arbitrary UTF-16 (lone
// surrogates included), converted and split into words, and the flags read
// from it. Quoting every word with the program's own quoting and splitting
// the result again must give the same words back: the uninstaller restarts
// itself that way with a folder that may hold blanks, quotes or backslashes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "base/text.h"
#include "system/win_path.h"

using namespace vestrana;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string wide;
  for (size_t i = 0; i + 1 < size; i += 2) {
    wide += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  const std::string line = utf16_to_utf8(wide);
  const std::vector<std::string> words = split_command_line(line);
  const LaunchOptions options = parse_command_line(line);

  if (line.empty() != words.empty()) std::abort();
  // The program path ends at the first blank outside quotes, and quotes only
  // toggle there, so it never keeps one.
  if (!words.empty() && words[0].find('"') != std::string::npos) std::abort();

  // The flags, read straight off the words.
  LaunchOptions expected;
  bool dir_seen = false;
  for (size_t k = 1; k < words.size(); ++k) {
    const std::string& w = words[k];
    expected.uninstall_flag |= equal_ignoring_ascii_case(w, "--uninstall");
    expected.from_temp |= equal_ignoring_ascii_case(w, "--from-temp");
    expected.silent |= equal_ignoring_ascii_case(w, "--silent") || equal_ignoring_ascii_case(w, "/s");
    if (!dir_seen && w == "--dir") {
      dir_seen = true;
      if (k + 1 < words.size()) expected.dir = words[k + 1];
    }
  }
  if (!(options == expected)) std::abort();

  // Round trip: the words after the program path come back unchanged.
  if (!words.empty()) {
    const std::vector<std::string> args(words.begin() + 1, words.end());
    for (const std::string& arg : args) {
      const std::vector<std::string> single = split_command_line("p " + quote_argument(arg));
      if (single.size() != 2 || single[1] != arg) std::abort();
    }
    if (split_command_line(build_command_line(words[0], args)) != words) std::abort();
  }
  return 0;
}
