#pragma once
// The lines the install and removal procedures share in the admin log.

#include <cstdint>
#include <string>
#include <vector>

namespace vestrana {

class Log;

// "ended vestrana.exe (process ID 4242)", one line per process.
void log_ended(Log& log, const std::vector<uint32_t>& process_ids);
// "deleted the shortcut <link>" when there was one to delete.
void log_shortcut_removal(Log& log, const std::string& link, bool removed);
// The Run value written (enabled) or deleted.
void log_autostart(Log& log, bool enabled);
void log_app_keys_deleted(Log& log);

}  // namespace vestrana
