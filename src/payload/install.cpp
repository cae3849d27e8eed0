#include "payload/install.h"

#include <chrono>
#include <iterator>
#include <optional>
#include <vector>

#include "base/log.h"
#include "base/clock.h"
#include "base/product.h"
#include "base/progress.h"
#include "payload/file_set.h"
#include "payload/packed_app.h"
#include "payload/paced_step.h"
#include "payload/procedure_log.h"
#include "system/app_processes.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/our_folder.h"
#include "system/process_api.h"
#include "system/registry_entries.h"
#include "system/remove_tree.h"
#include "system/shortcuts.h"
#include "system/webview2.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

using std::chrono::milliseconds;

std::string write_failure(const InstallTexts& texts, const OsError& error) {
  return fill_detail(texts.write_files, error);
}

// Paces one step around `work`, whatever its result.
template <class Work>
Result paced_step(Platform& platform, ProgressRecord& progress, Step step, float start_fraction, float end_fraction,
                  milliseconds minimum, Work&& work) {
  PacedStep paced(platform, progress, step, start_fraction);
  return paced.finish(work(), minimum, end_fraction);
}

// The setup program's own bytes for the uninstaller, or nothing when the
// running program is the installed uninstaller itself (it is not replaced by
// itself; the installed byte count then holds only the packed files).
Result read_uninstaller(Platform& platform, const InstallTexts& texts, const std::string& folder,
                        std::optional<std::vector<uint8_t>>& bytes) {
  OsError self_error;
  std::optional<std::string> self = platform.processes.own_program_path(&self_error);
  if (!self) return Result::failure(write_failure(texts, self_error));
  std::optional<std::string> self_final = platform.files.final_path(*self);
  std::optional<std::string> target_final = platform.files.final_path(join_path(folder, kUninstallerName));
  if (self_final && target_final && same_path(*self_final, *target_final, true)) return Result::success();
  bytes.emplace();
  if (std::optional<OsError> error = platform.files.read_file(*self, *bytes)) {
    return Result::failure(write_failure(texts, *error));
  }
  return Result::success();
}

// Replaces the application files and the uninstaller as one set; adds what
// it wrote to `installed_bytes`.
Result copy_files(Platform& platform, ProgressRecord& progress, const InstallTexts& texts,
                  std::span<const uint8_t> packed_app, const std::optional<std::string>& folder,
                  const std::optional<std::string>& earlier, uint64_t& installed_bytes) {
  Expected<std::vector<PackedEntry>> entries = unpack_packed_app(packed_app);
  if (!entries) return Result::failure(entries.take_failure_text());
  report_progress(progress, Step::CopyingFiles, 0.40f);
  log_line(platform.log, {"unpacked the app: ", std::to_string(entries->size()), " files"});

  if (!folder) {
    // Without a local application data folder there is no sane place to
    // install to; a folder relative to the current directory is not one.
    return Result::failure(write_failure(texts, OsError{"the local application data folder is unknown", {}}));
  }
  // What a killed run left half replaced is made whole before anything of
  // this run is written: its backups are the earlier installation.
  std::vector<FileSetEvent> events;
  RecoveryResult recovered = recover_file_set(platform.files, platform.clock, *folder, kInstalledFiles, &events);
  log_file_set_events(platform.log, *folder, events);
  log_recovery(platform.log, *folder, recovered);
  events.clear();
  if (recovered.error) return Result::failure(write_failure(texts, *recovered.error));

  std::optional<std::vector<uint8_t>> uninstaller;
  if (Result read = read_uninstaller(platform, texts, *folder, uninstaller); !read) return read;
  std::vector<SetFile> set;
  for (const PackedEntry& entry : *entries) set.push_back(SetFile{entry.name, entry.data});
  // The uninstaller last: when it is in place, so is everything else, and a
  // run started from it never has to put its backup back onto it.
  if (uninstaller) set.push_back(SetFile{std::string(kUninstallerName), *uninstaller});
  std::optional<OsError> error = replace_file_set(platform.files, platform.clock, *folder, set, &events);
  log_file_set_events(platform.log, *folder, events);
  if (error) {
    // The line names the file whose write or move failed.
    std::string failed = *folder;
    for (const FileSetEvent& event : events) {
      if (event.kind == FileSetEvent::Kind::Failed) failed = join_path(*folder, event.name);
    }
    log_line(platform.log, {"could not write ", failed, ": ", error->describe()});
    return Result::failure(write_failure(texts, *error));
  }
  for (const SetFile& file : set) {
    log_line(platform.log,
             {"wrote ", join_path(*folder, file.name), " (", std::to_string(file.bytes.size()), " bytes)"});
    installed_bytes += file.bytes.size();
  }
  if (!uninstaller)
    log_line(platform.log, {"kept ", join_path(*folder, kUninstallerName), ": it is the running program"});
  set.clear();
  entries->clear();
  entries->shrink_to_fit();

  // Asked again now that the install folder surely exists: a recorded
  // location that is a link or short name of it only resolves to it once it
  // is there, and clearing it would delete the files just written.
  if (earlier && !same_folder(platform.files, *earlier, *folder)) {
    remove_install_files(platform, *earlier);
    log_line(platform.log, {"removed the files of the earlier installation in ", *earlier});
  }
  return Result::success();
}

Result make_shortcuts(Platform& platform, const std::string& folder, InstallChoices choices) {
  std::string app = join_path(folder, kAppProgram);
  if (std::optional<std::string> link = start_menu_shortcut_path(platform.folders)) {
    Result made = create_shortcut(platform.links, platform.files, platform.messages, *link, app);
    if (!made) return made;
    log_line(platform.log, {"created the shortcut ", *link});
  }
  if (std::optional<std::string> link = desktop_shortcut_path(platform.folders)) {
    if (choices.desktop_shortcut) {
      // Best effort: with Defender's ransomware protection (Controlled Folder
      // Access) on, the Desktop is a protected folder and saving into it is
      // denied to every program not on its list. The app is still installed
      // and reachable from the Start menu, so the install goes on to its
      // entry instead of failing, and Try again would only fail the same way.
      Result made = create_shortcut(platform.links, platform.files, platform.messages, *link, app);
      platform.log.write(made ? "created the shortcut " + *link
                              : "could not create the desktop shortcut, "
                                "going on without it: " +
                                    made.failure_text());
    } else {
      log_shortcut_removal(platform.log, *link, remove_shortcut(platform.files, *link));
    }
  }
  Result autostart = set_autostart(platform.registry, platform.messages, folder, choices.autostart);
  if (autostart) log_autostart(platform.log, choices.autostart);
  return autostart;
}

}  // namespace

bool same_folder(FileSystem& files, const std::string& a, const std::string& b) {
  if (same_path(a, b, true)) return true;
  std::optional<std::string> final_a = files.final_path(a);
  std::optional<std::string> final_b = files.final_path(b);
  return final_a && final_b && same_path(*final_a, *final_b, true);
}

void remove_install_files(Platform& platform, const std::string& folder, bool keep_uninstaller) {
  std::optional<std::string> self = platform.processes.own_program_path();
  std::optional<std::string> self_final = self ? platform.files.final_path(*self) : std::nullopt;
  std::vector<std::string> names(std::begin(kInstalledFiles), std::end(kInstalledFiles));
  // What an interrupted replacement of them leaves ("vestrana.new", "vestrana.old").
  for (std::string_view name : kInstalledFiles) {
    names.push_back(temporary_name(name));
    names.push_back(backup_name(name));
  }
  if (keep_uninstaller) std::erase(names, std::string(kUninstallerName));
  // Through one handle on the folder: a folder that is, or becomes, a link
  // (to another program's folder, say) has nothing deleted through it.
  HoldRetry retry(platform.clock);
  remove_named_entries(platform.files, retry, folder, names, [&](OpenEntry& entry) {
    std::optional<std::string> path = self_final ? entry.final_path() : std::nullopt;
    return path && same_path(*self_final, *path, true);
  });
}

Result install_app(Platform& platform, ProgressRecord& progress, InstallChoices choices, const InstallTexts& texts,
                   std::span<const uint8_t> packed_app) {
  std::optional<std::string> folder = default_install_folder(platform.folders);
  // The entry may name a folder that is not ours (another program's, a
  // network share): that one is never cleaned, its programs are never ended,
  // and it is not even opened to compare it with the install folder.
  std::optional<std::string> earlier = our_recorded_folder(read_installed_entry(platform.registry, platform.folders));
  if (earlier && folder && same_folder(platform.files, *earlier, *folder)) earlier.reset();
  log_line(platform.log,
           {"install into ", (folder ? *folder : "(no local application data folder)"), ": desktop shortcut ",
            (choices.desktop_shortcut ? "on" : "off"), ", start with Windows ", (choices.autostart ? "on" : "off"),
            (earlier ? ", earlier installation in " + *earlier : "")});

  Result closed = paced_step(platform, progress, Step::ClosingApp, 0.00f, 0.08f, milliseconds(450), [&] {
    std::vector<std::string> folders;
    if (folder) folders.push_back(*folder);
    if (earlier) folders.push_back(*earlier);
    if (folders.empty()) return Result::success();
    ClosedApps apps = close_app_processes(platform.processes, platform.files, folders);
    log_ended(platform.log, apps);
    // Its files cannot be replaced while it runs, and waiting would not help.
    return apps.refused.empty() ? Result::success() : Result::failure(std::string(texts.app_elevated));
  });
  if (!closed) return closed;

  uint64_t installed_bytes = 0;
  Result copied = paced_step(platform, progress, Step::CopyingFiles, 0.08f, 0.62f, milliseconds(1100), [&] {
    return copy_files(platform, progress, texts, packed_app, folder, earlier, installed_bytes);
  });
  if (!copied) return copied;

  Result runtime = paced_step(platform, progress, Step::WebView2Setup, 0.62f, 0.82f, milliseconds(350),
                              [&] { return ensure_webview2(platform, texts.webview2); });
  if (!runtime) return runtime;

  Result linked = paced_step(platform, progress, Step::Shortcuts, 0.82f, 0.94f, milliseconds(450),
                             [&] { return make_shortcuts(platform, *folder, choices); });
  if (!linked) return linked;

  return paced_step(platform, progress, Step::Finishing, 0.94f, 1.00f, milliseconds(400), [&] {
    Result entry = write_uninstall_entry(platform.registry, platform.messages, *folder, installed_bytes);
    if (!entry) return entry;
    log_line(platform.log, {"wrote the uninstall entry HKCU\\", kUninstallKeyPath, " (version ", kSetupVersion, ", ",
                            std::to_string(installed_bytes), " bytes)"});
    delete_app_keys(platform.registry);
    log_app_keys_deleted(platform.log);
    return entry;
  });
}

}  // namespace vestrana
