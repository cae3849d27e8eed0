#pragma once
// The install procedure: one run puts the application on the machine, for a
// first install, a reinstall and an update alike.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "base/product.h"
#include "base/result.h"
#include "system/platform.h"

namespace vestrana {

class ProgressRecord;

// The failure texts the procedure reports, in the run's language; each may
// hold "{detail}" for the system's reason.
struct InstallTexts {
  std::string_view write_files;  // the files could not be written
  std::string_view webview2;  // the WebView2 runtime could not be set up
  std::string_view app_elevated;  // the app runs with more rights and cannot be ended
};

// The installed files.
inline constexpr std::string_view kInstalledFiles[] = {kAppProgram, kLoaderLibrary, kUninstallerName};

struct InstallChoices {
  bool desktop_shortcut = true;
  bool autostart = false;

  bool operator==(const InstallChoices&) const = default;
};

// Runs the five paced steps (closing the app, files, WebView2, shortcuts and
// autostart, the uninstall entry), reporting into `progress`. Stops at the
// first failure and returns its text. The installed files are replaced all or
// nothing; later steps are not rolled back.
Result install_app(Platform& platform, ProgressRecord& progress, InstallChoices choices, const InstallTexts& texts,
                   std::span<const uint8_t> packed_app);

// Deletes the three installed files in `folder` and the temporary and
// backup files an interrupted replacement of them leaves (never the running program), read-only or
// not, then the folder itself when it has become empty. Failures are ignored.
// With `keep_uninstaller`, "uninstall.exe" is not touched.
void remove_install_files(Platform& platform, const std::string& folder, bool keep_uninstaller = false);

// True when two folder paths name the same folder: component by component
// ignoring letter case, or because both resolve to the same final path.
bool same_folder(FileSystem& files, const std::string& a, const std::string& b);

}  // namespace vestrana
