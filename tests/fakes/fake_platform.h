#pragma once
// A whole machine in memory: every platform interface faked, wired into one
// Platform, with the user's folders of a typical Windows account.

#include "base/clock.h"
#include "fakes/call_log.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_downloader.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_known_folders.h"
#include "fakes/fake_process_api.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shell_link_api.h"
#include "fakes/fake_system_messages.h"
#include "system/platform.h"

namespace vestrana::testing {

struct FakeMachine {
  static constexpr const char* kLocal = "C:\\Users\\u\\AppData\\Local";
  static constexpr const char* kRoaming = "C:\\Users\\u\\AppData\\Roaming";
  static constexpr const char* kPrograms = "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
  static constexpr const char* kDesktop = "C:\\Users\\u\\Desktop";
  static constexpr const char* kInstallDir = "C:\\Users\\u\\AppData\\Local\\vestrana";
  static constexpr const char* kTemp = "C:\\Users\\u\\AppData\\Local\\Temp\\";

  FakeClock clock;
  // What the file system, registry and process table were asked, in order;
  // set_cost makes each of those calls take time.
  CallLog calls{clock};
  FakeFileSystem files;
  FakeRegistry registry;
  FakeProcessApi processes;
  FakeShellLinkApi links{&files};
  FakeKnownFolders folders;
  FakeDownloader downloader{files};
  FakeSystemMessages messages;
  Platform platform{files, registry, processes, links, folders, downloader, messages, clock};

  FakeMachine() {
    files.share_log(&calls);
    registry.shared_log = &calls;
    processes.shared_log = &calls;
    folders.folders[KnownFolder::LocalAppData] = kLocal;
    folders.folders[KnownFolder::RoamingAppData] = kRoaming;
    folders.folders[KnownFolder::Programs] = kPrograms;
    folders.folders[KnownFolder::Desktop] = kDesktop;
    folders.environment["LOCALAPPDATA"] = kLocal;
    for (const char* folder : {kLocal, kRoaming, kPrograms, kDesktop, kTemp}) files.add_folder(folder);
    files.set_temp_folder(std::string(kTemp));
    processes.files = &files;
    messages.texts[0x80070005] = "Access is denied.";
  }
};

}  // namespace vestrana::testing
