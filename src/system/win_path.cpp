#include "system/win_path.h"

#include "base/text.h"

#include <cstdint>

namespace vestrana {
namespace {

bool is_sep(char c) { return c == '\\' || c == '/'; }

bool is_drive_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Length of the prefix: a drive, a UNC share, or a verbatim/device prefix.
size_t prefix_length(std::string_view p) {
  if (p.size() >= 2 && is_sep(p[0]) && is_sep(p[1])) {
    // "\\?\C:", "\\?\UNC\server\share", "\\.\device", "\\server\share"
    if (p.size() >= 4 && (p[2] == '?' || p[2] == '.') && is_sep(p[3])) {
      size_t i = 4;
      if (p.size() >= i + 2 && is_drive_letter(p[i]) && p[i + 1] == ':') return i + 2;
      auto next_sep = [&](size_t from) {
        while (from < p.size() && !is_sep(p[from])) ++from;
        return from;
      };
      size_t end = next_sep(i);
      std::string_view word = p.substr(i, end - i);
      if (word.size() == 3 && (word[0] == 'U' || word[0] == 'u') && (word[1] == 'N' || word[1] == 'n') &&
          (word[2] == 'C' || word[2] == 'c') && end < p.size()) {
        size_t server_end = next_sep(end + 1);
        if (server_end >= p.size()) return server_end;
        return next_sep(server_end + 1);
      }
      return end;
    }
    size_t i = 2;
    while (i < p.size() && !is_sep(p[i])) ++i;  // server
    if (i >= p.size()) return i;
    ++i;
    while (i < p.size() && !is_sep(p[i])) ++i;  // share
    return i;
  }
  if (p.size() >= 2 && is_drive_letter(p[0]) && p[1] == ':') return 2;
  return 0;
}

// Simple upper-casing in the spirit of the file system's case table: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic letters.
uint32_t fold(uint32_t c) {
  if (c >= 'a' && c <= 'z') return c - 32;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F) {
    bool odd_pairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    if (odd_pairs) return (c % 2 == 0) ? c - 1 : c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

bool equal_folded(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (fold(next_code_point_exact(a, i)) != fold(next_code_point_exact(b, j))) return false;
  }
  return i == a.size() && j == b.size();
}

bool equal_prefix(std::string_view a, std::string_view b, bool ignore_case) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (is_sep(x) && is_sep(y)) continue;
    if (ignore_case ? ascii_lower(x) != ascii_lower(y) : x != y) return false;
  }
  return true;
}

}  // namespace

PathParts split_path(std::string_view path) {
  PathParts parts;
  size_t n = prefix_length(path);
  parts.prefix = path.substr(0, n);
  size_t i = n;
  if (i < path.size() && is_sep(path[i])) parts.rooted = true;
  // A UNC or verbatim prefix is always followed by a root.
  if (n >= 2 && is_sep(path[0]) && is_sep(path[1])) parts.rooted = true;
  while (i < path.size()) {
    while (i < path.size() && is_sep(path[i])) ++i;
    size_t start = i;
    while (i < path.size() && !is_sep(path[i])) ++i;
    std::string_view comp = path.substr(start, i - start);
    if (!comp.empty() && comp != ".") parts.components.push_back(comp);
  }
  return parts;
}

std::string join_path(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (out.empty()) return std::string(name);
  bool drive_only = out.size() == 2 && out[1] == ':' && is_drive_letter(out[0]);
  if (!is_sep(out.back()) && !drive_only) out += '\\';
  out += name;
  return out;
}

std::optional<std::string> parent_folder(std::string_view path) {
  PathParts parts = split_path(path);
  if (parts.components.empty()) return std::nullopt;
  // The parent keeps the text as written up to the end of the second-to-last
  // component (or the root), so the caller sees its own spelling.
  std::string_view last = parts.components.back();
  size_t last_start = static_cast<size_t>(last.data() - path.data());
  size_t end = last_start;
  while (end > parts.prefix.size() && is_sep(path[end - 1])) --end;
  if (parts.components.size() == 1) {
    // Parent is the prefix plus its root separator, if any.
    if (parts.prefix.empty() && !parts.rooted) return std::nullopt;
    size_t root_end =
        parts.prefix.size() + ((parts.prefix.size() < path.size() && is_sep(path[parts.prefix.size()])) ? 1 : 0);
    return std::string(path.substr(0, root_end));
  }
  return std::string(path.substr(0, end));
}

std::string_view file_name(std::string_view path) {
  PathParts parts = split_path(path);
  if (parts.components.empty()) return {};
  std::string_view last = parts.components.back();
  if (last == "..") return {};
  return last;
}

std::string with_extension_new(std::string_view path) {
  std::string_view name = file_name(path);
  if (name.empty()) return std::string(path) + ".new";
  size_t name_start = static_cast<size_t>(name.data() - path.data());
  size_t dot = name.rfind('.');
  std::string out(path.substr(0, name_start));
  if (dot == std::string_view::npos || dot == 0) {
    out += name;
  } else {
    out += name.substr(0, dot);
  }
  out += ".new";
  return out;
}

bool same_path(std::string_view a, std::string_view b, bool ignore_case) {
  PathParts pa = split_path(a), pb = split_path(b);
  if (pa.rooted != pb.rooted) return false;
  if (!equal_prefix(pa.prefix, pb.prefix, ignore_case)) return false;
  if (pa.components.size() != pb.components.size()) return false;
  for (size_t i = 0; i < pa.components.size(); ++i) {
    bool eq = ignore_case ? equal_folded(pa.components[i], pb.components[i]) : pa.components[i] == pb.components[i];
    if (!eq) return false;
  }
  return true;
}

std::string long_path_form(std::string_view path) {
  PathParts parts = split_path(path);
  bool unc = parts.prefix.size() > 2 && is_sep(parts.prefix[0]) && is_sep(parts.prefix[1]) && parts.prefix[2] != '?' &&
             parts.prefix[2] != '.';
  bool drive = parts.prefix.size() == 2 && parts.prefix[1] == ':';
  if (!(unc || (drive && parts.rooted))) return std::string(path);

  // What GetFullPathNameW does with the components ("Naming Files, Paths,
  // and Namespaces"; "File path formats on Windows systems"): "." goes, ".."
  // takes its parent along (never the root); three or more dots are a name;
  // a component before a separator loses one trailing dot ("a." is "a") and
  // keeps its spaces; only the last component, when the path does not end
  // in a separator, loses every trailing dot and space.
  bool ends_in_separator = !path.empty() && is_sep(path.back());
  std::vector<std::string_view> components;
  for (size_t i = 0; i < parts.components.size(); ++i) {
    std::string_view component = parts.components[i];
    if (component == "..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    if (i + 1 == parts.components.size() && !ends_in_separator) {
      while (!component.empty() && (component.back() == '.' || component.back() == ' ')) {
        component.remove_suffix(1);
      }
    } else if (component.find_first_not_of('.') != std::string_view::npos && component.back() == '.') {
      component.remove_suffix(1);
    }
    if (!component.empty()) components.push_back(component);
  }

  std::string out;
  if (unc) {
    // "\\server\share" -> "\\?\UNC\server\share"
    out = "\\\\?\\UNC\\";
    for (char c : parts.prefix.substr(2)) out += c == '/' ? '\\' : c;
  } else {
    out = "\\\\?\\";
    out += parts.prefix;
  }
  if (components.empty()) return out + '\\';
  for (std::string_view component : components) {
    out += '\\';
    out += component;
  }
  return out;
}

}  // namespace vestrana
