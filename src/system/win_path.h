#pragma once
// Windows path arithmetic on UTF-8 text, with the platform's rules: both "\"
// and "/" separate components, a path may start with a drive ("C:") or a UNC
// or verbatim prefix ("\\server\share", "\\?\C:"), and doubled or trailing
// separators do not make a path different. Pure text: nothing touches disk.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrana {

struct PathParts {
  std::string_view prefix;  // "C:", "\\server\share", "\\?\C:" or empty
  bool rooted = false;  // a separator follows the prefix ("C:\", "\x")
  std::vector<std::string_view> components;  // without "." and empty parts
};

PathParts split_path(std::string_view path);

// folder + "\" + name, without doubling a separator; an empty folder gives name.
std::string join_path(std::string_view folder, std::string_view name);

// The folder that holds the last component, or nothing when the path has no
// folder part ("C:\", "\", "name", "").
std::optional<std::string> parent_folder(std::string_view path);

// The last component, or empty.
std::string_view file_name(std::string_view path);

// The path with the last component's extension replaced by "new"
// ("a\vestrana.exe" -> "a\vestrana.new"; "a\app" and "a\.hidden" get ".new").
std::string with_extension_new(std::string_view path);

// True when both paths name the same location component by component. With
// ignore_case, letters are compared the way Windows file names are
// (case-insensitively); otherwise byte for byte.
bool same_path(std::string_view a, std::string_view b, bool ignore_case);

// The form of a path that the Windows file calls accept beyond 260
// characters: an absolute path with a drive ("C:\a") or a UNC share
// ("\\server\share\a") becomes verbatim ("\\?\C:\a", "\\?\UNC\server\share\a"),
// normalised the way the system would have done it (separators turned into
// backslashes, "." and empty components dropped, ".." applied, one trailing
// dot of an inner component and every trailing dot and space of the last one
// removed, "..." kept as a name), since a verbatim path is taken as it is. Relative paths, drive-relative ones ("C:a") and paths already in a
// verbatim or device form stay as they are.
std::string long_path_form(std::string_view path);

}  // namespace vestrana
