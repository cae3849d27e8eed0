// The fonts folder: FOLDERID_Fonts, with its files mapped into memory.

#include "system/windows_headers.h"

#include <optional>
#include <string>

#include "paint/font_folder_win32.h"
#include "system/known_folders.h"
#include "system/platform_parts_win32.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

class MappedFontFile final : public FontFile {
 public:
  MappedFontFile(const void* view, size_t size) : view_(view), size_(size) {}
  MappedFontFile(const MappedFontFile&) = delete;
  MappedFontFile& operator=(const MappedFontFile&) = delete;
  ~MappedFontFile() override { UnmapViewOfFile(view_); }

  std::span<const uint8_t> bytes() const override { return {static_cast<const uint8_t*>(view_), size_}; }

 private:
  // The view holds the mapping and the mapping holds the file (with the
  // file object's sharing), so both handles are closed once it exists.
  const void* view_;
  size_t size_;
};

class WindowsFontFolder final : public FontFolder {
 public:
  std::unique_ptr<FontFile> open(std::string_view file_name) override {
    if (!folder_) folder_ = windows_known_folders().known_folder_path(KnownFolder::Fonts).value_or("");
    if (folder_->empty()) return nullptr;
    // Shared for reading only: nobody may rewrite the file while its view
    // is read (a truncated mapping faults on the next read).
    UniqueHandle file(CreateFileW(to_wide(join_path(*folder_, file_name)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    // A font file is far below 1 GiB; anything else is not one of them.
    if (!file.valid() || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > (1 << 30)) {
      return nullptr;
    }
    UniqueHandle mapping(CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.valid()) return nullptr;
    const void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
    if (view == nullptr) return nullptr;
    return std::make_unique<MappedFontFile>(view, static_cast<size_t>(size.QuadPart));
  }

 private:
  std::optional<std::string> folder_;
};

}  // namespace

std::unique_ptr<FontFolder> windows_font_folder() { return std::make_unique<WindowsFontFolder>(); }

}  // namespace vestrana
