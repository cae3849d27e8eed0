#pragma once
// The system's fonts folder as the fallback faces' source.

#include <memory>

#include "paint/font_folder.h"

namespace vestrana {

// FOLDERID_Fonts, asked for on the first open; each file is mapped
// read-only, so a face of twenty megabytes costs address space, not memory.
std::unique_ptr<FontFolder> windows_font_folder();

}  // namespace vestrana
