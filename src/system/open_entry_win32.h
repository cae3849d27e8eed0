#pragma once
// Entries opened by handle for walking and deleting (Windows build only).

#include <memory>
#include <optional>
#include <string>

#include "system/file_system.h"
#include "system/windows_headers.h"

namespace vestrana {

// Opens the entry at `path` (UTF-16, in its long form) without following a
// final link; nothing, with the reason in `error`, when that fails.
std::unique_ptr<OpenEntry> open_entry_at(const std::wstring& path, OsError* error);

// GetFinalPathNameByHandleW in its DOS form, without the "\\?\" in front;
// nothing when the call fails.
std::optional<std::string> final_path_of(HANDLE handle);

}  // namespace vestrana
