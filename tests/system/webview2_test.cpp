#include "system/webview2.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
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

using ::testing::EndsWith;

constexpr const char* kError = "Microsoft WebView2 could not be set up. Please check the internet connection.";
const std::string kTemp = "C:\\Users\\user\\AppData\\Local\\Temp";
const std::string kFolder = kTemp + "\\vestrana-5f0c";
const std::string kSetupPath = kFolder + "\\vestrana-webview2-setup.exe";
// A file of the user's that a planted link points at.
const std::string kVictim = "C:\\Users\\user\\Documents\\thesis.docx";

const std::string kWow =
    "SOFTWARE\\WOW6432Node\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::string kNative = "SOFTWARE\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
const std::string kUser = "Software\\Microsoft\\EdgeUpdate\\Clients\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";

class WebView2 : public ::testing::Test {
 protected:
  // What happened, in order: "download", "start", and "delete" when the
  // downloaded file and its folder disappeared.
  std::vector<std::string> events;
  FakeRegistry registry;
  FakeFileSystem files;
  FakeProcessApi processes;
  FakeShellLinkApi links;
  FakeKnownFolders folders;
  FakeDownloader downloader{files};
  FakeSystemMessages messages;
  FakeClock clock;
  Platform platform{files, registry, processes, links, folders, downloader, messages, clock};

  void SetUp() override {
    files.add_folder(kTemp);
    files.add_file(kVictim, "precious");
    downloader.folder_names = {"vestrana-5f0c"};
    downloader.on_download = [this](const std::string&, const std::string&) { events.push_back("download"); };
    downloader.on_start = [this](const FakeDownloader::Start&) { events.push_back("start"); };
  }
  // What the setup gave: a success is no failure text.
  std::string failure(std::string_view error = kError) {
    Result result = ensure_webview2(platform, error);
    return result.ok() ? "(success)" : result.failure_text();
  }
  std::vector<std::string> finish() {
    if (!downloader.calls.empty() && !files.exists(kSetupPath) && !files.exists(kFolder)) events.push_back("delete");
    return events;
  }
  void register_runtime() { registry.put_string(RegistryRoot::CurrentUser, kUser, "pv", "120.0.2210.91"); }
  void register_runtime_when_started() {
    downloader.on_start = [this](const FakeDownloader::Start&) {
      events.push_back("start");
      register_runtime();
    };
  }
  size_t registry_reads() const {
    size_t n = 0;
    for (const auto& call : registry.calls) n += call.rfind("get_string ", 0) == 0;
    return n;
  }
  // Nothing of the download is left in the temporary folder.
  bool temp_is_empty() const {
    for (const std::string& path : files.all_paths()) {
      if (path.rfind(kTemp + "\\", 0) == 0) return false;
    }
    return true;
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
  EXPECT_EQ(failure(), "(success)");
  EXPECT_TRUE(downloader.folders.empty());
  EXPECT_TRUE(downloader.calls.empty());
  EXPECT_TRUE(downloader.starts.empty());
}

TEST_F(WebView2, DownloadsIntoAFreshFolderRunsTheCheckedFileThereDeletesAndLooksAgain) {
  register_runtime_when_started();
  EXPECT_EQ(failure(), "(success)");
  ASSERT_EQ(downloader.calls.size(), 1u);
  EXPECT_THAT(downloader.calls[0].url, EndsWith("/fwlink/p/?LinkId=2124703"));
  EXPECT_EQ(downloader.calls[0].path, kSetupPath);
  EXPECT_EQ(downloader.calls[0].limits.stall, std::chrono::seconds(60));
  EXPECT_EQ(downloader.calls[0].limits.total, std::chrono::minutes(15));

  EXPECT_EQ(downloader.checked, std::vector<std::string>{"MZ vendor"});
  ASSERT_EQ(downloader.starts.size(), 1u);
  EXPECT_EQ(downloader.starts[0].command_line, "\"" + kSetupPath + "\" /silent /install");
  EXPECT_EQ(downloader.starts[0].working_folder, kFolder);
  EXPECT_EQ(downloader.starts[0].bytes, "MZ vendor");
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "start", "delete"}));
  EXPECT_TRUE(temp_is_empty());
}

TEST_F(WebView2, FailedDownloadStartsNothingButStillDeletes) {
  downloader.result = FakeDownloader::kInetDownloadFailure;
  EXPECT_EQ(failure(), kError);
  EXPECT_TRUE(downloader.checked.empty());
  EXPECT_TRUE(downloader.starts.empty());
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "delete"}));
  EXPECT_TRUE(temp_is_empty());
}

TEST_F(WebView2, SuccessfulBootstrapperWithoutRegistrationFails) {
  EXPECT_EQ(failure(), kError);
  EXPECT_EQ(registry_reads(), 6u);  // looked for before and after
  EXPECT_EQ(finish(), (std::vector<std::string>{"download", "start", "delete"}));
}

// A bootstrapper that is not the vendor's is not run; one that runs but does
// not report success does not count, even when a runtime got registered.
// Either way the setup fails without looking again and nothing stays behind.
struct RefusalCase {
  const char* name;
  std::function<void(FakeDownloader&)> arrange;
  bool runs;
};

class RefusedBootstrapper : public WebView2, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusedBootstrapper, FailsWithoutLookingAgainAndLeavesNothing) {
  register_runtime_when_started();
  GetParam().arrange(downloader);

  EXPECT_EQ(failure(), kError);
  EXPECT_EQ(downloader.starts.size(), GetParam().runs ? 1u : 0u);
  EXPECT_EQ(registry_reads(), 3u);
  EXPECT_TRUE(temp_is_empty());
}

constexpr int32_t kBadDigest = static_cast<int32_t>(0x80096010u);  // TRUST_E_BAD_DIGEST

// The vendor's file, with what the signature check says of it instead.
std::function<void(FakeDownloader&)> signed_as(int32_t status, const char* publisher, bool trusted_root) {
  return [=](FakeDownloader& d) { d.signatures["MZ vendor"] = {status, publisher, trusted_root}; };
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedBootstrapper,
    ::testing::Values(RefusalCase{"unsigned", [](FakeDownloader& d) { d.payload = "MZ unsigned"; }, false},
                      RefusalCase{"bad_digest", signed_as(kBadDigest, "Microsoft Corporation", true), false},
                      RefusalCase{"another_publisher", signed_as(0, "Evil Corporation", true), false},
                      RefusalCase{"publisher_in_other_case", signed_as(0, "microsoft corporation", true), false},
                      RefusalCase{"publisher_with_more", signed_as(0, "Microsoft Corporation Ltd", true), false},
                      RefusalCase{"no_publisher", signed_as(0, "", true), false},
                      RefusalCase{"another_root", signed_as(0, "Microsoft Corporation", false), false},
                      RefusalCase{"cannot_be_held", [](FakeDownloader& d) { d.hold_fails = true; }, false},
                      RefusalCase{"non_zero_exit", [](FakeDownloader& d) { d.exit_code = 0x80040C01u; }, true},
                      RefusalCase{"not_started", [](FakeDownloader& d) { d.start_fails = true; }, false},
                      RefusalCase{"no_exit_code", [](FakeDownloader& d) { d.exit_code.reset(); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Another process of the user tries to put its own program in place of the
// checked one, at each moment from the download to the end: by renaming its
// file over ours, or by writing into ours.
TEST_F(WebView2, WhatRunsIsWhatWasCheckedWhenTheFileIsSwappedAtAnyMoment) {
  const std::string evil = kFolder + "\\evil.exe";
  auto swap = [&](const std::string& path) {
    files.write_new_file(evil, FakeDownloader::as_bytes("MZ evil"));
    files.rename_replacing(evil, path);
    files.delete_file(evil);
    files.write_new_file(path, FakeDownloader::as_bytes("MZ evil"));
  };
  struct Moment {
    const char* name;
    std::function<void()> arm;
    bool runs;  // before the file is held the swap succeeds, and the check refuses it
  };
  const Moment moments[] = {
      {"after the download",
       [&] { downloader.on_download = [&](const std::string&, const std::string& p) { swap(p); }; }, false},
      {"after holding", [&] { downloader.on_held = swap; }, true},
      {"after the check", [&] { downloader.on_checked = swap; }, true},
      {"at the start", [&] { downloader.on_start = [&](const FakeDownloader::Start&) { swap(kSetupPath); }; }, true},
  };
  for (const Moment& moment : moments) {
    SCOPED_TRACE(moment.name);
    downloader = FakeDownloader(files);
    downloader.signatures["MZ evil"] = {0, "Evil Corporation", true};
    moment.arm();
    EXPECT_EQ(failure(), kError);  // the runtime never gets registered here
    ASSERT_EQ(downloader.checked.size(), 1u);
    EXPECT_EQ(downloader.starts.size(), moment.runs ? 1u : 0u);
    for (const FakeDownloader::Start& start : downloader.starts) {
      EXPECT_EQ(start.bytes, downloader.checked.back());
      EXPECT_EQ(start.bytes, "MZ vendor");
    }
    EXPECT_TRUE(temp_is_empty());
  }
}

// Whatever stands at the first random name is left alone: another name is taken.
struct PlantedCase {
  const char* name;
  std::function<void(FakeFileSystem&)> plant;  // at kFolder, the first name
};

class PlantedAtTheName : public WebView2, public ::testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedAtTheName, IsLeftAloneAndAnotherNameTaken) {
  register_runtime_when_started();
  downloader.folder_names = {"vestrana-5f0c", "vestrana-9a31"};
  GetParam().plant(files);

  EXPECT_EQ(failure(), "(success)");
  ASSERT_EQ(downloader.starts.size(), 1u);
  EXPECT_EQ(downloader.starts[0].working_folder, kTemp + "\\vestrana-9a31");
  EXPECT_EQ(downloader.starts[0].bytes, "MZ vendor");
  EXPECT_EQ(files.text(kVictim), "precious");
  EXPECT_TRUE(files.exists(kFolder) || files.is_link(kFolder));
  EXPECT_FALSE(files.exists(kTemp + "\\vestrana-9a31"));
}

INSTANTIATE_TEST_SUITE_P(
    Entries, PlantedAtTheName,
    ::testing::Values(
        PlantedCase{"file_link", [](FakeFileSystem& f) { f.add_link(kFolder, kVictim, /*folder_link=*/false); }},
        PlantedCase{"folder_link", [](FakeFileSystem& f) { f.add_link(kFolder, "C:\\Users\\user\\Documents"); }},
        PlantedCase{"folder_with_a_program", [](FakeFileSystem& f) { f.add_file(kSetupPath, "MZ evil"); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Something put into the new folder before the download is never written
// through, run or followed: the download fails, and a link is removed itself.
TEST_F(WebView2, AnEntryPlantedInTheNewFolderStopsTheDownload) {
  register_runtime_when_started();
  downloader.on_folder_created = [&](const std::string& folder) {
    files.add_link(folder + "\\vestrana-webview2-setup.exe", kVictim, /*folder_link=*/false);
  };
  EXPECT_EQ(failure(), kError);
  EXPECT_TRUE(downloader.starts.empty());
  EXPECT_EQ(files.text(kVictim), "precious");
  EXPECT_TRUE(temp_is_empty());
}

TEST_F(WebView2, NoFolderOrNoTemporaryFolderFailsBeforeDownloading) {
  downloader.folder_fails = true;
  EXPECT_EQ(failure(), kError);
  downloader.folder_fails = false;
  for (std::optional<std::string> temp : {std::optional<std::string>(), std::optional<std::string>("")}) {
    files.set_temp_folder(temp);
    EXPECT_EQ(failure("Fehler"), "Fehler");
  }
  EXPECT_TRUE(downloader.calls.empty());
}

}  // namespace
}  // namespace vestrana
