#pragma once
// The window's small and large icon at its DPI. One 32-pixel icon serving
// both is scaled down blurry by the system at 150 % and 200 %; these are
// made from the icon resource's best image for each size at the window's
// own DPI (LoadIconWithScaleDown), and made again when the DPI changes.

#include "system/windows_headers.h"

#include <memory>
#include <type_traits>

#include "system/system_library_win32.h"

namespace vestrana {

struct IconDestroyer {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroyer>;

class WindowIcons {
 public:
  // Loads icon resource 1 of `instance` for `dpi` and gives it to `window`.
  void apply(HWND window, HINSTANCE instance, UINT dpi);

 private:
  HICON load(HINSTANCE instance, int size) const;

  // comctl32 is loaded from the system folder (see SystemLibrary).
  using LoadScaledDown = HRESULT WINAPI(HINSTANCE, PCWSTR, int, int, HICON*);
  SystemLibrary common_controls_{L"comctl32.dll"};
  LoadScaledDown* load_scaled_down_ = common_controls_.function<LoadScaledDown>("LoadIconWithScaleDown");
  UniqueIcon small_;
  UniqueIcon large_;
};

}  // namespace vestrana
