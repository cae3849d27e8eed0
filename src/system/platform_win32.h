#pragma once
// The platform interfaces' Win32 implementations.

#include "system/platform.h"

namespace vestrana {

// The Win32 implementations.
Platform& windows_platform();

}  // namespace vestrana
