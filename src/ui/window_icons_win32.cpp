#include "ui/window_icons_win32.h"

#include <utility>

namespace vestrana {

// Without LoadIconWithScaleDown, LoadImageW picks the resource's image
// nearest the size and stretches it, which is still sharper than the
// system shrinking one 32-pixel icon.
HICON WindowIcons::load(HINSTANCE instance, int size) const {
  HICON icon = nullptr;
  if (load_scaled_down_ != nullptr && SUCCEEDED(load_scaled_down_(instance, MAKEINTRESOURCEW(1), size, size, &icon))) {
    return icon;
  }
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

void WindowIcons::apply(HWND window, HINSTANCE instance, UINT dpi) {
  UniqueIcon small_icon(load(instance, GetSystemMetricsForDpi(SM_CXSMICON, dpi)));
  UniqueIcon large_icon(load(instance, GetSystemMetricsForDpi(SM_CXICON, dpi)));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large_icon.get()));
  // The window no longer uses the old ones: moving the new ones in destroys them.
  small_ = std::move(small_icon);
  large_ = std::move(large_icon);
}

}  // namespace vestrana
