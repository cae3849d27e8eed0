#pragma once
// The admin log's file and the local time of its lines (Windows build only).

#include <memory>
#include <string>

#include "base/log.h"

namespace vestrana {

class FileSystem;

// The file at `path` opened for appending, shared with any other run that
// appends to it at the same time (a removal's first stage waits on its copy
// with the file open); created, with every missing folder above it, when it
// does not exist. Nothing when it cannot be opened so: a folder, a name that
// is not allowed, a folder where only administrators may write.
std::unique_ptr<LogOutput> open_log_file(FileSystem& files, const std::string& path);

// The system's clock in the user's local time.
WallClock& windows_wall_clock();

}  // namespace vestrana
