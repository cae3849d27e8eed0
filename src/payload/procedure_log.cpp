#include "payload/procedure_log.h"

#include "base/log.h"
#include "base/product.h"
#include "system/registry_entries.h"

namespace vestrana {

void log_ended(Log& log, const std::vector<uint32_t>& process_ids) {
  for (uint32_t id : process_ids) {
    log.write("ended " + std::string(kAppProgram) + " (process ID " + std::to_string(id) + ")");
  }
}

void log_shortcut_removal(Log& log, const std::string& link, bool removed) {
  if (removed) log.write("deleted the shortcut " + link);
}

void log_autostart(Log& log, bool enabled) {
  std::string value = "HKCU\\" + std::string(kRunKeyPath) + "\\" + std::string(kAutostartValueName);
  log.write(enabled ? "wrote the autostart value " + value : "deleted the autostart value " + value);
}

void log_app_keys_deleted(Log& log) { log.write("deleted HKCU\\" + std::string(kAppKeyPath)); }

}  // namespace vestrana
