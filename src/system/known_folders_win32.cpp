// SHGetKnownFolderPath and the environment.

#include "system/windows_headers.h"
#include <objbase.h>
#include <shlobj.h>

#include <string_view>

#include "system/known_folders.h"
#include "system/text_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

// Our own copies of the folder IDs, so that the program does not need the
// GUID library only for these five.
constexpr GUID kLocalAppData = {0xf1b32785, 0x6fba, 0x4fcf, {0x9d, 0x55, 0x7b, 0x8e, 0x7f, 0x15, 0x70, 0x91}};
constexpr GUID kRoamingAppData = {0x3eb685db, 0x65f9, 0x4cf6, {0xa0, 0x3a, 0xe3, 0xef, 0x65, 0x72, 0x9f, 0x3d}};
constexpr GUID kPrograms = {0xa77f5d77, 0x2e2b, 0x44c3, {0xa6, 0xa2, 0xab, 0xa6, 0x01, 0x05, 0x4a, 0x51}};
constexpr GUID kDesktop = {0xb4bfcc3a, 0xdb2c, 0x424c, {0xb0, 0x29, 0x7f, 0xe9, 0x9a, 0x87, 0xc6, 0x41}};
constexpr GUID kFonts = {0xfd228cb7, 0xae11, 0x4ae3, {0x86, 0x4c, 0x16, 0xf3, 0x91, 0x0a, 0xb8, 0xfe}};

const GUID& folder_id(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::LocalAppData: return kLocalAppData;
    case KnownFolder::RoamingAppData: return kRoamingAppData;
    case KnownFolder::Programs: return kPrograms;
    case KnownFolder::Desktop: return kDesktop;
    case KnownFolder::Fonts: return kFonts;
  }
  return kLocalAppData;
}

// The shell hands out the path in a COM allocation that must be freed even
// when the call fails.
struct CoTaskText {
  wchar_t* text = nullptr;
  CoTaskText() = default;
  CoTaskText(const CoTaskText&) = delete;
  CoTaskText& operator=(const CoTaskText&) = delete;
  ~CoTaskText() { CoTaskMemFree(text); }
};

class WindowsKnownFolders final : public KnownFolders {
 public:
  std::optional<std::string> known_folder_path(KnownFolder folder) override {
    CoTaskText path;
    HRESULT hr = SHGetKnownFolderPath(folder_id(folder), 0, nullptr, &path.text);
    if (FAILED(hr) || path.text == nullptr) return std::nullopt;
    // A path we cannot name exactly is no path to install into or delete from.
    return to_utf8_strict(std::wstring_view(path.text));
  }

  std::optional<std::string> environment_variable(const std::string& name) override {
    std::wstring wide_name = to_wide(name);
    std::wstring buffer;
    // An empty variable and an unset one both give 0; only the last error
    // tells them apart, so it is cleared before each call.
    SetLastError(ERROR_SUCCESS);
    DWORD needed = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    // The value may change between the calls (another thread); size again then.
    for (int attempt = 0; attempt < 4; ++attempt) {
      if (needed == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
      }
      buffer.assign(needed, L'\0');
      SetLastError(ERROR_SUCCESS);
      DWORD length = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(), needed);
      if (length < needed) {
        if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        buffer.resize(length);
        return to_utf8_strict(buffer);
      }
      needed = length;
    }
    return std::nullopt;
  }
};

}  // namespace

KnownFolders& windows_known_folders() {
  static WindowsKnownFolders folders;
  return folders;
}

}  // namespace vestrana
