#include "ui/window_icons_win32.h"

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
  HICON small_icon = load(instance, GetSystemMetricsForDpi(SM_CXSMICON, dpi));
  HICON large_icon = load(instance, GetSystemMetricsForDpi(SM_CXICON, dpi));
  SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon));
  SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large_icon));
  // The window no longer uses the old ones.
  release();
  small_ = small_icon;
  large_ = large_icon;
}

void WindowIcons::release() {
  if (small_ != nullptr) DestroyIcon(small_);
  if (large_ != nullptr) DestroyIcon(large_);
  small_ = large_ = nullptr;
}

}  // namespace vestrana
