#include "system/our_folder.h"

#include "base/text.h"
#include "base/product.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The characters Windows refuses in a file name (the separators are split off
// already). A colon would name a stream of a file, "?" and "*" make the
// removal's names patterns, and a control character has no business in a
// folder we created.
bool holds_forbidden_character(std::string_view component) {
  for (char c : component) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|') {
      return true;
    }
  }
  return false;
}

// The system drops trailing dots and blanks of a component, so ".. " and
// "..." would step out of a folder as ".." does.
bool only_dots_and_blanks(std::string_view component) {
  return component.find_first_not_of(". ") == std::string_view::npos;
}

}  // namespace

bool can_be_our_folder(std::string_view path) {
  PathParts parts = split_path(path);
  // Only a drive prefix is two characters long: UNC, verbatim and device
  // prefixes all begin with two separators and are longer.
  if (parts.prefix.size() != 2 || !is_drive_letter(parts.prefix[0]) || parts.prefix[1] != ':') return false;
  if (!parts.rooted || parts.components.empty()) return false;
  for (std::string_view component : parts.components) {
    if (only_dots_and_blanks(component) || holds_forbidden_character(component)) return false;
  }
  return equal_ignoring_ascii_case(parts.components.back(), kProductName);
}

std::optional<std::string> our_recorded_folder(const std::optional<InstalledEntry>& entry) {
  if (!entry || !can_be_our_folder(entry->location)) return std::nullopt;
  return entry->location;
}

}  // namespace vestrana
