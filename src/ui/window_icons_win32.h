#pragma once
// The window's small and large icon at its DPI. One 32-pixel icon serving
// both is scaled down blurry by the system at 150 % and 200 %; these are
// made from the icon resource's best image for each size at the window's
// own DPI (LoadIconWithScaleDown), and made again when the DPI changes.

#include "system/windows_headers.h"

#include "system/system_library_win32.h"

namespace vestrana {

class WindowIcons {
 public:
  WindowIcons() = default;
  WindowIcons(const WindowIcons&) = delete;
  WindowIcons& operator=(const WindowIcons&) = delete;
  ~WindowIcons() { release(); }

  // Loads icon resource 1 of `instance` for `dpi` and gives it to `window`.
  void apply(HWND window, HINSTANCE instance, UINT dpi);

 private:
  void release();
  HICON load(HINSTANCE instance, int size) const;

  // comctl32 is loaded from the system folder (see SystemLibrary).
  using LoadScaledDown = HRESULT WINAPI(HINSTANCE, PCWSTR, int, int, HICON*);
  SystemLibrary common_controls_{L"comctl32.dll"};
  LoadScaledDown* load_scaled_down_ = common_controls_.function<LoadScaledDown>("LoadIconWithScaleDown");
  HICON small_ = nullptr;
  HICON large_ = nullptr;
};

}  // namespace vestrana
