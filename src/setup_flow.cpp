#include "setup_flow.h"

#include "payload/install.h"
#include "ui/procedure_texts.h"
#include "base/log.h"
#include "base/product.h"
#include "base/progress.h"
#include "startup.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/our_folder.h"
#include "system/registry_entries.h"
#include "payload/self_removal.h"
#include "system/shortcuts.h"
#include "payload/uninstall.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

// A per-user program installed into the system account's profile is never
// what anyone wants, and that is where a mistaken folder or a race against
// a folder swap would do the most harm: such a run stops before it reads or
// touches anything. Silent, with exit code 1; otherwise on an error screen
// that says why, which offers no retry (nothing would change) and also ends
// with 1.
int refuse_local_system(const LaunchOptions& options, StartupHost& host, const StringTable& table) {
  if (options.silent) return 1;
  InteractiveStart start;
  start.mode = options.uninstall_flag ? Mode::remove() : Mode::install();
  start.options = default_options(start.mode, false, false, false);
  start.title = string_for(table, window_title(start.mode));
  start.strings = &table;
  start.refusal = std::string(string_for(table, StringId::ErrorLocalSystem));
  (void)host.run_window(start);
  return 1;
}

// "update from 1.2.0 (silent), language de, folder C:\...": what this run is.
std::string describe_run(const LaunchOptions& options, const std::optional<InstalledEntry>& entry,
                         LanguageCode language, const std::string& target) {
  Mode mode = choose_mode(options.uninstall_flag, entry ? std::optional<std::string>(entry->version) : std::nullopt);
  std::string text = mode.kind == Mode::Remove   ? "removal"
                     : mode.kind == Mode::Update ? "update from " + mode.installed_version
                                                 : std::string("install");
  text += options.silent ? " (silent)" : " (window)";
  text += ", language " + std::string(language.text());
  text += ", folder " + (target.empty() ? std::string("(none)") : target);
  return text;
}

int run_silent(const LaunchOptions& options, Platform& platform, StartupHost& host, const StringTable& table,
               bool installed, const std::string& target) {
  ProgressRef record = create_progress_record();
  if (options.uninstall_flag) {
    // Stage 1 runs from the installed uninstall.exe and waits for this
    // process; deleting that file would only spend the hold budget on it.
    // The cleanup helper deletes it once stage 1 has ended.
    return uninstall(platform, *record, target, false, removal_refusal(table), options.from_temp) ? 0 : 1;
  }
  std::vector<bool> values =
      default_options(Mode::install(), installed, desktop_shortcut_present(platform.folders, platform.files),
                      autostart_present(platform.registry));
  InstallChoices choices{values.size() > 0 ? bool(values[0]) : true, values.size() > 1 && values[1]};
  Result result = install_app(platform, *record, choices, install_texts(table), host.packed_app());
  return result ? 0 : 1;
}

int run_interactive(const LaunchOptions& options, Platform& platform, StartupHost& host, const StringTable& table,
                    const std::optional<InstalledEntry>& entry, const std::string& target) {
  InteractiveStart start;
  start.mode = choose_mode(options.uninstall_flag, entry ? std::optional<std::string>(entry->version) : std::nullopt);
  bool installed = entry.has_value();
  bool desktop = installed && desktop_shortcut_present(platform.folders, platform.files);
  bool autostart = installed && autostart_present(platform.registry);
  start.options = default_options(start.mode, installed, desktop, autostart);
  start.title = string_for(table, window_title(start.mode));
  start.dark = read_dark_preference(platform.registry);
  start.target_folder = target;
  start.strings = &table;
  return host.run_window(start);
}

}  // namespace

int run_setup(const LaunchOptions& options, Platform& platform, StartupHost& host) {
  if (options.cleanup) {
    // The helper never takes the lock: a setup that holds it is an install
    // under way, whose folder and uninstaller it must leave alone.
    if (host.runs_as_local_system()) return 1;
    CleanupRequest request{options.after, options.copy, options.dir};
    return run_cleanup(platform, request, [&] { return host.setup_running(); });
  }
  LanguageCode language = host.user_language();
  const StringTable& table = table_for(language);
  Log& log = platform.log;
  if (host.runs_as_local_system()) {
    log.write("runs as the LocalSystem account: a per-user setup stops here");
    return refuse_local_system(options, host, table);
  }

  if (options.uninstall_flag && !options.from_temp) {
    log_line(log, {"first stage of a removal, language ", language.text(),
                   ": the removal goes on in a temporary copy of this program"});
    std::optional<InstalledEntry> entry = read_installed_entry(platform.registry, platform.folders);
    return relaunch_from_temp(platform.processes, platform.files, platform.folders, options.dir,
                              entry ? std::optional<std::string>(entry->location) : std::nullopt, options.silent,
                              options.log);
  }

  if (host.take_instance_lock() == StartupHost::Lock::AlreadyRunning) {
    log.write("another setup is running: it is brought to the front and this one stops");
    host.bring_running_setup_forward();
    // A copy that may not work still goes: nothing else would delete it.
    if (options.from_temp)
      schedule_self_removal(platform.processes, platform.files, options.after, std::string(), false);
    return 1;
  }

  std::optional<InstalledEntry> entry = read_installed_entry(platform.registry, platform.folders);
  // A removal acts in its folder, so it only ever gets one that can be ours;
  // any other run only shows or hands on the folder, and gets it the same way.
  std::string target_folder = options.uninstall_flag ? removal_folder(platform, options.dir, entry)
                                                     : choose_target_folder(options.dir, our_recorded_folder(entry),
                                                                            default_install_folder(platform.folders))
                                                           .value_or(std::string());

  log.write(describe_run(options, entry, language, target_folder));
  int exit_code = options.silent ? run_silent(options, platform, host, table, entry.has_value(), target_folder)
                                 : run_interactive(options, platform, host, table, entry, target_folder);

  if (options.from_temp) {
    // Completed only when there was an installation to remove: a run that
    // found no entry, or whose window was closed on the question, leaves the
    // folder's "uninstall.exe" alone.
    bool completed = options.uninstall_flag && entry.has_value() &&
                     !read_installed_entry(platform.registry, platform.folders).has_value();
    log.write(completed ? "the last stage deletes this copy, the installed uninstall.exe and the folder"
                        : "the last stage deletes this copy");
    schedule_self_removal(platform.processes, platform.files, options.after, target_folder, completed);
  }
  return exit_code;
}

int run_logged_setup(std::string_view command_line, const LaunchOptions& options, Platform& platform,
                     StartupHost& host) {
  log_line(platform.log, {"vestrana setup ", kSetupVersion, ", command line: ", command_line});
  int exit_code = run_setup(options, platform, host);
  log_line(platform.log, {"exit code ", std::to_string(exit_code)});
  return exit_code;
}

StartupHost::Lock instance_lock_from(bool created, uint32_t last_error) {
  if (!created)
    return last_error == kErrorAccessDenied ? StartupHost::Lock::AlreadyRunning : StartupHost::Lock::Unavailable;
  return last_error == kErrorAlreadyExists ? StartupHost::Lock::AlreadyRunning : StartupHost::Lock::Acquired;
}

}  // namespace vestrana
