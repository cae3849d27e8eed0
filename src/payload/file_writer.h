#pragma once
// Putting a file into place so that a reader never sees it half written: the
// bytes go to a temporary file beside the target, which is then renamed onto
// the target in one step.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "system/file_system.h"
#include "system/os_error.h"

namespace vestrana {

// Writes `bytes` to `target`, which afterwards holds either its old contents
// (or is still absent) or all of the new ones. The temporary file is the target
// with the extension "new" ("vestrana.exe" -> "vestrana.new"), created afresh
// (whatever had that name is removed, a link is never written through) and
// flushed to the disk before it replaces the target; it is gone afterwards
// whether or not the write succeeded. A read-only target is replaced. A
// write or rename refused because another process holds the file for a
// moment is retried for up to kHoldRetryLimit. Returns the operating-system
// error of the step that failed.
std::optional<OsError> write_file_replacing(FileSystem& files, Clock& clock, const std::string& target,
                                            std::span<const uint8_t> bytes);

}  // namespace vestrana
