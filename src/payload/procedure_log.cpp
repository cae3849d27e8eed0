#include "payload/procedure_log.h"

#include "base/log.h"
#include "base/product.h"
#include "system/registry_entries.h"
#include "system/win_path.h"

namespace vestrana {

void log_ended(Log& log, const ClosedApps& closed) {
  auto lines = [&](const std::vector<uint32_t>& ids, std::string_view before, std::string_view after) {
    for (uint32_t id : ids) log_line(log, {before, std::to_string(id), after});
  };
  lines(closed.refused, "vestrana.exe (process ID ", ") runs with administrator rights: nothing ended");
  lines(closed.apps, "ended vestrana.exe (process ID ", ")");
  lines(closed.browsers, "ended msedgewebview2.exe (process ID ", ")");
}

void log_shortcut_removal(Log& log, const std::string& link, bool removed) {
  if (removed) log_line(log, {"deleted the shortcut ", link});
}

void log_autostart(Log& log, bool enabled) {
  std::string value = "HKCU\\" + std::string(kRunKeyPath) + "\\" + std::string(kAutostartValueName);
  log.write(enabled ? "wrote the autostart value " + value : "deleted the autostart value " + value);
}

void log_app_keys_deleted(Log& log) { log_line(log, {"deleted HKCU\\", kAppKeyPath}); }

void log_file_set_events(Log& log, const std::string& folder, const std::vector<FileSetEvent>& events) {
  using Kind = FileSetEvent::Kind;
  for (const FileSetEvent& event : events) {
    std::string path = join_path(folder, event.name);
    switch (event.kind) {
      case Kind::Written:
        log_line(log, {"wrote and flushed ", join_path(folder, temporary_name(event.name)), " (",
                       std::to_string(event.size), " bytes)"});
        break;
      case Kind::MovedAside: log_line(log, {"backup: moved ", path, " aside as ", backup_name(event.name)}); break;
      case Kind::MovedIn: log_line(log, {"moved the new ", event.name, " in as ", path}); break;
      case Kind::PutBack:
        log_line(log, {"rollback: put the earlier ", path, " back from ", backup_name(event.name)});
        break;
      case Kind::RemovedNew: log_line(log, {"deleted the new ", event.name, " in ", folder}); break;
      case Kind::RemovedBackup:
        log_line(log, {"deleted the backup ", join_path(folder, backup_name(event.name))});
        break;
      case Kind::Failed: break;  // the caller says why, with the system's reason
    }
  }
}

void log_recovery(Log& log, const std::string& folder, const RecoveryResult& result) {
  if (result.recovery == Recovery::Finished) {
    log_line(log, {"an interrupted update of ", folder, " had put every new file in place: finished it"});
  } else if (result.recovery == Recovery::RolledBack) {
    log_line(log, {"an interrupted update of ", folder, " was rolled back to the earlier files"});
  }
  if (result.error)
    log_line(log, {"could not make the interrupted update of ", folder, " whole: ", result.error->describe()});
}

}  // namespace vestrana
