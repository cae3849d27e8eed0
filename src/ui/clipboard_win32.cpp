#include "ui/clipboard_win32.h"

#include <cstring>
#include <string>

#include "system/text_win32.h"

namespace vestrana {
namespace {

// Closes the clipboard that OpenClipboard opened.
struct OpenedClipboard {
  bool open;
  // Another program (a clipboard history, a remote session) may hold the
  // clipboard open for a moment: OpenClipboard fails then, so it is tried
  // a few times over about 50 ms.
  explicit OpenedClipboard(HWND window) : open(false) {
    for (int attempt = 0; attempt < 5 && !open; ++attempt) {
      if (attempt > 0) Sleep(10);
      open = OpenClipboard(window) != FALSE;
    }
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  ~OpenedClipboard() {
    if (open) CloseClipboard();
  }
};

// A movable global block, freed unless the clipboard took it over.
struct GlobalBlock {
  HGLOBAL handle;
  explicit GlobalBlock(size_t bytes) : handle(GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
  GlobalBlock(const GlobalBlock&) = delete;
  GlobalBlock& operator=(const GlobalBlock&) = delete;
  ~GlobalBlock() {
    if (handle != nullptr) GlobalFree(handle);
  }
};

}  // namespace

bool copy_to_clipboard(HWND window, std::string_view text) {
  const std::wstring wide = to_wide(text);
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  GlobalBlock block(bytes);
  if (block.handle == nullptr) return false;
  void* data = GlobalLock(block.handle);
  if (data == nullptr) return false;
  std::memcpy(data, wide.c_str(), bytes);
  GlobalUnlock(block.handle);

  OpenedClipboard clipboard(window);
  if (!clipboard.open || !EmptyClipboard()) return false;
  // On success the system owns the block (SetClipboardData).
  if (SetClipboardData(CF_UNICODETEXT, block.handle) == nullptr) return false;
  block.handle = nullptr;
  return true;
}

}  // namespace vestrana
