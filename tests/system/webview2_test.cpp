#include "system/webview2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_clock.h"
#include "fakes/fake_downloader.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_known_folders.h"
#include "fakes/fake_process_api.h"
#include "fakes/fake_registry.h"
#include "fakes/fake_shell_link_api.h"
#include "fakes/fake_system_messages.h"
#include "system/platform.h"

namespace vestrana {
namespace {

constexpr const char* kError = "Microsoft WebView2 could not be set up. Please check the internet connection.";
const std::string kSetupPath = "C:\\Users\\user\\AppData\\Local\\Temp\\vestrana-webview2-setup.exe";

const std::string kWow = "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::string kNative = "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::string kUser = "Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

class WebView2 : public ::testing::Test {
 protected:
  // What happened, in order: "download", "start", and "delete" when the
  // downloaded file disappeared.
  std::vector<std::string> events;
  FakeRegistry registry;
  FakeFileSystem files;
  FakeProcessApi processes;
  FakeShellLinkApi links;
  FakeKnownFolders folders;
  FakeDownloader downloader;
  FakeSystemMessages messages;
  FakeClock clock;
  Platform platform{files, registry, processes, links, folders, downloader, messages, clock};

  void SetUp() override {
    files.add_folder("C:\\Users\\user\\AppData\\Local\\Temp");
    // A download leaves a file behind even when it fails half way.
    downloader.on_download = [this](const std::string&, const std::string& path) {
      events.push_back("download");
      files.add_file(path, "MZ");
    };
    processes.on_start = [this](const ProcessStart& start) {
      events.push_back(files.exists(start.program) ? "start" : "start without file");
    };
  }
  std::vector<std::string> finish() {
    if (!downloader.calls.empty() && !files.exists(kSetupPath)) events.push_back("delete");
    return events;
  }
  void register_runtime() { registry.put_string(RegistryRoot::CurrentUser, kUser, "pv", "120.0.2210.91"); }
  void register_runtime_when_started() {
    processes.on_start = [this](const ProcessStart&) {
      events.push_back("start");
      register_runtime();
    };
  }
  size_t registry_reads() const {
    size_t n = 0;
    for (const auto& call : registry.calls) n += call.rfind("get_string ", 0) == 0;
    return n;
  }
};

// --- Detection -----------------------------------------------------------------

struct KeysCase {
  const char* name;
  std::optional<std::string> wow, native, user;
  bool installed;
  size_t reads;
};

class WebView2Detection : public WebView2, public ::testing::WithParamInterface<KeysCase> {};

TEST_P(WebView2Detection, SearchesTheThreeKeysInOrder) {
  const KeysCase& c = GetParam();
  if (c.wow) registry.put_string(RegistryRoot::LocalMachine, kWow, "pv", *c.wow);
  if (c.native) registry.put_string(RegistryRoot::LocalMachine, kNative, "pv", *c.native);
  if (c.user) registry.put_string(RegistryRoot::CurrentUser, kUser, "pv", *c.user);

  EXPECT_EQ(is_webview2_installed(registry), c.installed);
  const std::vector<std::string> order = {"get_string HKLM\\" + kWow + "\\pv", "get_string HKLM\\" + kNative + "\\pv",
                                          "get_string HKCU\\" + kUser + "\\pv"};
  EXPECT_EQ(registry.calls, std::vector<std::string>(order.begin(), order.begin() + c.reads));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WebView2Detection,
    ::testing::Values(KeysCase{"machine_32bit_view", "120.0.1.2", "1.0.0.0", std::nullopt, true, 1},
                      KeysCase{"placeholder_then_native", "0.0.0.0", "119.0.2151.97", std::nullopt, true, 2},
                      KeysCase{"per_user_only", std::nullopt, std::nullopt, "118.0.1", true, 3},
                      KeysCase{"placeholders_and_empty", "0.0.0.0", "", "0.0.0.0", false, 3},
                      KeysCase{"nothing_registered", std::nullopt, std::nullopt, std::nullopt, false, 3},
                      // Only the exact placeholder is discounted.
                      KeysCase{"not_quite_placeholder", "0.0.0.0.1", std::nullopt, std::nullopt, true, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Setup -------------------------------------------------------------------------

TEST_F(WebView2, PresentRuntimeNeedsNothing) {
  register_runtime();
  EXPECT_TRUE(ensure_webview2(platform, kError).ok());
  EXPECT_TRUE(downloader.calls.empty());
  EXPECT_TRUE(processes.started.empty());
}

TEST_F(WebView2, DownloadsRunsSilentlyDeletesAndLooksAgain) {
  register_runtime_when_started();
  Result result = ensure_webview2(platform, kError);

  EXPECT_TRUE(result.ok());
  ASSERT_EQ(downloader.calls.size(), 1u);
  const std::string url = webview2_download_url();
  EXPECT_EQ(downloader.calls[0].url, url);
  EXPECT_EQ(url.substr(url.size() - 25), "/fwlink/p/?LinkId=2124703");
  EXPECT_EQ(downloader.calls[0].path, kSetupPath);

  ASSERT_EQ(processes.started.size(), 1u);
  EXPECT_EQ(processes.started[0].program, kSetupPath);
  EXPECT_EQ(processes.started[0].command_line, "\"" + kSetupPath + "\" /silent /install");
  EXPECT_TRUE(processes.started[0].wait);
  EXPECT_EQ(processes.started[0].creation_flags, 0u);
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "start", "delete"}));
}

TEST_F(WebView2, FailedDownloadStartsNothingButStillDeletes) {
  downloader.result = FakeDownloader::kInetDownloadFailure;
  Result result = ensure_webview2(platform, kError);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), kError);
  EXPECT_TRUE(processes.started.empty());
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "delete"}));
}

TEST_F(WebView2, SuccessfulBootstrapperWithoutRegistrationFails) {
  Result result = ensure_webview2(platform, kError);
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), kError);
  EXPECT_EQ(registry_reads(), 6u);  // looked for before and after
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "start", "delete"}));
}

enum class Outcome { NonZeroExit, NotStarted, NoExitCode };

std::string outcome_name(const ::testing::TestParamInfo<Outcome>& info) {
  static const char* const kNames[] = {"non_zero_exit", "not_started", "no_exit_code"};
  return kNames[static_cast<int>(info.param)];
}

class FailedBootstrapper : public WebView2, public ::testing::WithParamInterface<Outcome> {};

TEST_P(FailedBootstrapper, FailsWithoutLookingAgain) {
  register_runtime_when_started();
  // Even a runtime that got registered does not count when the bootstrapper
  // itself reports no success.
  switch (GetParam()) {
    case Outcome::NonZeroExit: processes.default_exit_code = 0x80040C01u; break;
    // An error page saved as .exe cannot be started.
    case Outcome::NotStarted: processes.start_fails = true; break;
    case Outcome::NoExitCode: processes.exit_code_readable = false; break;
  }
  Result result = ensure_webview2(platform, kError);

  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.failure_text(), kError);
  EXPECT_EQ(registry_reads(), 3u);
  EXPECT_EQ(processes.started.size(), 1u);
  EXPECT_FALSE(files.exists(kSetupPath));
}

INSTANTIATE_TEST_SUITE_P(Outcomes, FailedBootstrapper,
                         ::testing::Values(Outcome::NonZeroExit, Outcome::NotStarted, Outcome::NoExitCode),
                         outcome_name);

TEST_F(WebView2, WhateverLiesAtTheFixedNameGoesBeforeTheDownloadAndNoLinkIsFollowed) {
  register_runtime_when_started();
  const std::string victim = "C:\\Users\\user\\Documents\\thesis.docx";
  files.add_file(victim, "precious");
  struct Planted {
    const char* what;
    std::function<void()> plant;
  };
  for (const Planted& planted :
       {Planted{"file link", [&] { files.add_link(kSetupPath, victim, /*folder_link=*/false); }},
        Planted{"folder link", [&] { files.add_link(kSetupPath, "C:\\Users\\user\\Documents"); }},
        Planted{"stale read-only download", [&] { files.add_file(kSetupPath, "old", /*read_only=*/true); }}}) {
    SCOPED_TRACE(planted.what);
    registry.delete_tree(kUser);
    planted.plant();
    processes.on_start = [&](const ProcessStart& start) {
      EXPECT_EQ(files.text(start.program), "MZ");
      EXPECT_FALSE(files.is_link(start.program));
      register_runtime();
    };
    EXPECT_TRUE(ensure_webview2(platform, kError).ok());
    EXPECT_EQ(files.text(victim), "precious");
    EXPECT_FALSE(files.exists(kSetupPath));
  }
}

TEST_F(WebView2, UnknownTemporaryFolderFailsBeforeDownloading) {
  for (std::optional<std::string> temp : {std::optional<std::string>(), std::optional<std::string>("")}) {
    files.set_temp_folder(temp);
    Result result = ensure_webview2(platform, "Fehler");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.failure_text(), "Fehler");
  }
  EXPECT_TRUE(downloader.calls.empty());
}

}  // namespace
}  // namespace vestrana
