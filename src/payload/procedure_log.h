#pragma once
// The lines the install and removal procedures share in the admin log.

#include <cstdint>
#include <string>
#include <vector>

#include "payload/file_set.h"
#include "system/app_processes.h"

namespace vestrana {

class Log;

// "ended vestrana.exe (process ID 4242)", one line per process, or why none was.
void log_ended(Log& log, const ClosedApps& closed);
// "deleted the shortcut <link>" when there was one to delete.
void log_shortcut_removal(Log& log, const std::string& link, bool removed);
// The Run value written (enabled) or deleted.
void log_autostart(Log& log, bool enabled);
void log_app_keys_deleted(Log& log);
// One line per file operation on the installed set, so that an admin can see
// which files were backed up, moved in or put back by a rollback.
void log_file_set_events(Log& log, const std::string& folder, const std::vector<FileSetEvent>& events);
// What making a killed run's set whole did, when there was anything to do.
void log_recovery(Log& log, const std::string& folder, const RecoveryResult& result);

}  // namespace vestrana
