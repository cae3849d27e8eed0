#pragma once
// The two calls the window makes to the desktop window manager (rounded
// corners, the dark frame, the shadow of a frameless window), through
// dwmapi loaded from the system folder. dwmapi is not one of Windows' known
// DLLs: imported, a "dwmapi.dll" beside the setup in Downloads would be
// loaded before the program runs a line. Without the library, or with one
// that lacks a function, the window simply goes without these looks.

#include "system/windows_headers.h"
#include <dwmapi.h>

#include "system/system_library_win32.h"

namespace vestrana {

class DesktopWindowManager {
 public:
  DesktopWindowManager()
      : set_attribute_(library_.function<SetAttribute>("DwmSetWindowAttribute")),
        extend_frame_(library_.function<ExtendFrame>("DwmExtendFrameIntoClientArea")) {}

  // Whether the window manager took the value.
  bool set_attribute(HWND window, DWORD attribute, DWORD value) const {
    return set_attribute_ != nullptr && SUCCEEDED(set_attribute_(window, attribute, &value, sizeof(value)));
  }

  void extend_frame(HWND window, const MARGINS& margins) const {
    if (extend_frame_ != nullptr) extend_frame_(window, &margins);
  }

 private:
  using SetAttribute = HRESULT WINAPI(HWND, DWORD, LPCVOID, DWORD);
  using ExtendFrame = HRESULT WINAPI(HWND, const MARGINS*);

  SystemLibrary library_{L"dwmapi.dll"};
  SetAttribute* set_attribute_;
  ExtendFrame* extend_frame_;
};

}  // namespace vestrana
