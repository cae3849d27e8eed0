#pragma once
// A downloaded file held open for checking and starting (HeldFile).

#include <memory>
#include <string>

#include "system/downloader.h"

namespace vestrana {

// CreateFileW for reading, sharing reading only, FILE_FLAG_OPEN_REPARSE_POINT;
// nothing when that fails or what was opened is a reparse point or a folder.
std::unique_ptr<HeldFile> hold_file(const std::string& path);

}  // namespace vestrana
