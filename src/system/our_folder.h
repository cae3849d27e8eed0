#pragma once
// Which folders this program may act in. It only ever installs into the
// folder "vestrana" inside the user's local application data folder, but the
// uninstall entry that records an installation (and a removal's command line,
// which comes from that entry) can be written by anyone who runs as the user:
// a stale entry of another product, a tool that "fixes" entries, or a script.
// A folder read from there is acted on (files deleted, programs ended) only
// when it can be a folder of ours at all; anything else counts as foreign and
// is never opened.

#include <optional>
#include <string>
#include <string_view>

namespace vestrana {

struct InstalledEntry;

// True when `path` can name a folder this program installed: a full path on
// a drive ("C:\..."), not a drive root, with no UNC ("\\server\share"),
// verbatim ("\\?\") or device ("\\.\") form, no component that the system
// would read as ".." (dots and blanks only) or that holds a character no
// file name may hold (a stream colon, a wildcard, a control character), and
// a last component of "vestrana" in any ASCII letter case, as Windows
// compares names. Pure text: nothing is opened, so a network path never
// makes a connection.
bool can_be_our_folder(std::string_view path);

// The entry's folder when it can be ours; nothing for a foreign entry or none.
std::optional<std::string> our_recorded_folder(const std::optional<InstalledEntry>& entry);

}  // namespace vestrana
