// FormatMessageW for the system's own error texts.

#include "system/windows_headers.h"

#include <atomic>
#include <string_view>

#include "system/system_messages.h"
#include "system/text_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

// Frees the buffer FormatMessageW allocated for us.
struct LocalBuffer {
  wchar_t* text = nullptr;
  LocalBuffer() = default;
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  ~LocalBuffer() {
    if (text) LocalFree(text);
  }
};

class WindowsSystemMessages final : public SystemMessages {
 public:
  std::optional<std::string> message_for(uint32_t hresult) override {
    // The system's message table is keyed by the Win32 code for errors that
    // were made from one; asking with the HRESULT finds nothing for many of them.
    DWORD code = hresult;
    if ((hresult & 0xFFFF0000u) == 0x80070000u) code = hresult & 0xFFFFu;

    LocalBuffer buffer;
    DWORD length = 0;
    // A language the system has no text in fails with
    // ERROR_RESOURCE_LANG_NOT_FOUND; the next one is asked then.
    for (uint16_t langid : message_languages(preferred.load(std::memory_order_relaxed))) {
      length =
          FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, langid, reinterpret_cast<wchar_t*>(&buffer.text), 0, nullptr);
      if (length != 0 && buffer.text != nullptr) break;
    }
    if (length == 0 || buffer.text == nullptr) return std::nullopt;

    std::wstring_view text(buffer.text, length);
    while (!text.empty()) {
      wchar_t last = text.back();
      if (last != L'\r' && last != L'\n' && last != L' ' && last != L'\t') break;
      text.remove_suffix(1);
    }
    if (text.empty()) return std::nullopt;
    return to_utf8(text);
  }

  std::atomic<uint16_t> preferred{0};
};

WindowsSystemMessages& messages_instance() {
  static WindowsSystemMessages messages;
  return messages;
}

}  // namespace

SystemMessages& windows_system_messages() { return messages_instance(); }

void prefer_message_language(uint16_t langid) {
  messages_instance().preferred.store(langid, std::memory_order_relaxed);
}

OsError windows_os_error(uint32_t code) {
  std::optional<std::string> text =
      windows_system_messages().message_for(hresult_from_win32(static_cast<int32_t>(code)));
  return OsError{text ? std::move(*text) : std::string("unknown error"), code};
}

}  // namespace vestrana
