// What the admin log says about whole runs, on a machine in memory: each
// case lists lines that must appear in this order (others may come between;
// "*" stands for any text), the first line is the version and command line
// and the last the exit code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "base/product.h"
#include "fakes/fake_platform.h"
#include "fakes/fake_startup_host.h"
#include "fakes/recording_log.h"
#include "setup_flow.h"
#include "system/registry_entries.h"
#include "system/webview2.h"

namespace vestrana {
namespace {

using testing::FakeMachine;
using testing::FakeStartupHost;

// "*" matches any run of characters, everything else itself.
bool glob_match(std::string_view pattern, std::string_view text) {
  size_t star = pattern.find('*');
  if (star == std::string_view::npos) return pattern == text;
  if (text.substr(0, star) != pattern.substr(0, star)) return false;
  for (size_t k = star; k <= text.size(); ++k) {
    if (glob_match(pattern.substr(star + 1), text.substr(k))) return true;
  }
  return false;
}

const std::string kDir = FakeMachine::kInstallDir;
const std::string kVersion(kSetupVersion);
const std::string kUninstallEntry = "HKCU\\" + std::string(kUninstallKeyPath);

struct LogCase {
  const char* label;
  std::function<void(FakeMachine&)> prepare;
  std::string command_line;
  int exit_code;  // of the last run
  std::vector<std::string> lines;
  bool then_the_copy = false;  // run the command line the first stage started, too
};

void PrintTo(const LogCase& c, std::ostream* os) { *os << c.label; }

class AdminLog : public ::testing::TestWithParam<LogCase> {
 protected:
  void SetUp() override {
    m.processes.own_path = "C:\\Users\\u\\Downloads\\vestrana-setup.exe";
    m.files.add_file(*m.processes.own_path, "SETUP");
  }
  int run(const std::string& command_line) {
    return run_logged_setup(command_line, parse_command_line(command_line), platform, host);
  }

  FakeMachine m;
  FakeStartupHost host;
  testing::RecordingLog log;
  Platform platform{m.files, m.registry, m.processes, m.links, m.folders, m.downloader, m.messages, m.clock, log};
};

TEST_P(AdminLog, SaysWhatTheRunDidInOrder) {
  const LogCase& c = GetParam();
  c.prepare(m);
  int exit_code = run(c.command_line);
  if (c.then_the_copy) {
    ASSERT_EQ(m.processes.started.size(), 1u);
    m.processes.own_path = m.processes.started[0].program;
    exit_code = run(m.processes.started[0].command_line);
  }
  EXPECT_EQ(exit_code, c.exit_code);

  std::vector<std::string> events = log.events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "vestrana setup " + kVersion + ", command line: " + c.command_line);
  EXPECT_EQ(events.back(), "exit code " + std::to_string(c.exit_code));
  size_t next = 0;
  for (const std::string& expected : c.lines) {
    while (next < events.size() && !glob_match(expected, events[next])) ++next;
    ASSERT_LT(next, events.size()) << "missing, or out of order: " << expected << "\nthe log:\n"
                                   << ::testing::PrintToString(events);
    ++next;
  }
}

void runtime_present(FakeMachine& m) {
  m.registry.put_string(kWebView2ClientKeys[2].root, kWebView2ClientKeys[2].path, "pv", "120.0.1.2");
}

void installed(FakeMachine& m, const std::string& version) {
  runtime_present(m);
  m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "DisplayVersion", version);
  m.registry.put_string(RegistryRoot::CurrentUser, kUninstallKeyPath, "InstallLocation", kDir);
  for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
    m.files.add_file(kDir + "\\" + name, "EARLIER");
  }
  m.files.add_file(std::string(FakeMachine::kPrograms) + "\\vestrana.lnk", "link");
  m.processes.add(8, "vestrana.exe", kDir + "\\vestrana.exe");
}

// An earlier installation whose installed file `name` stays held for longer
// than any run waits.
std::function<void(FakeMachine&)> installed_with_held(std::string name) {
  return [name](FakeMachine& m) {
    installed(m, "1.2.0");
    m.files.hold(kDir + "\\" + name, m.clock, m.clock.now() + std::chrono::hours(1));
  };
}

INSTANTIATE_TEST_SUITE_P(
    Runs, AdminLog,
    ::testing::Values(
        LogCase{"first_silent_install",
                runtime_present,
                "setup.exe --silent --log C:\\logs\\setup.log",
                0,
                {"install (silent), language en, folder " + kDir,
                 "install into " + kDir + ": desktop shortcut on, start with Windows off",
                 "step started: closing vestrana", "step done: closing vestrana", "step started: copying files",
                 "wrote " + kDir + "\\vestrana.exe (3 bytes)", "wrote " + kDir + "\\uninstall.exe (5 bytes)",
                 "step done: copying files", "step started: setting up Microsoft WebView2",
                 "WebView2 runtime 120.0.1.2 found", "step done: setting up Microsoft WebView2",
                 "created the shortcut " + std::string(FakeMachine::kPrograms) + "\\vestrana.lnk",
                 "created the shortcut " + std::string(FakeMachine::kDesktop) + "\\vestrana.lnk",
                 "deleted the autostart value HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\vestrana",
                 "wrote the uninstall entry " + kUninstallEntry + " (version " + kVersion + ", 8 bytes)",
                 "step done: finishing"}},
        LogCase{"update_against_a_held_file",
                installed_with_held("vestrana.exe"),
                "setup.exe /S /LOG=C:\\setup.log",
                1,
                {"update from 1.2.0 (silent), language en, folder " + kDir, "ended vestrana.exe (process ID 8)",
                 "could not write " + kDir +
                     "\\vestrana.exe: The process cannot access the file because it is being used by another "
                     "process. (os error 32)",
                 "step failed: copying files: The files could not be written (* (os error 32))."}},
        LogCase{"update_rolled_back_when_a_later_file_is_held",
                installed_with_held("uninstall.exe"),
                "setup.exe /S /LOG=C:\\setup.log",
                1,
                {"wrote and flushed " + kDir + "\\vestrana.new (3 bytes)",
                 "backup: moved " + kDir + "\\vestrana.exe aside as vestrana.old",
                 "moved the new vestrana.exe in as " + kDir + "\\vestrana.exe",
                 "rollback: put the earlier " + kDir + "\\vestrana.exe back from vestrana.old",
                 "could not write " + kDir + "\\uninstall.exe: * (os error 32)", "exit code 1"}},
        LogCase{"webview2_download_fails",
                [](FakeMachine& m) { m.downloader.result = FakeDownloader::kInetDownloadFailure; },
                "setup.exe --silent --log l.txt",
                1,
                {"step started: setting up Microsoft WebView2", "WebView2 runtime not found",
                 "downloading the WebView2 bootstrapper from *", "the download failed: HRESULT 0x800C0008",
                 "step failed: setting up Microsoft WebView2: *"}},
        LogCase{"webview2_bootstrapper_runs",
                [](FakeMachine& m) {
                  m.downloader.on_start = [&m](const FakeDownloader::Start&) {
                    m.registry.put_string(kWebView2ClientKeys[2].root, kWebView2ClientKeys[2].path, "pv", "121.0.2");
                  };
                },
                "setup.exe --silent --log l.txt",
                0,
                {"WebView2 runtime not found", "the bootstrapper ended with exit code 0",
                 "WebView2 runtime 121.0.2 found after the bootstrapper", "step done: setting up Microsoft WebView2"}},
        LogCase{
            "removal_through_both_stages",
            [](FakeMachine& m) {
              installed(m, kVersion);
              m.processes.own_path = kDir + "\\uninstall.exe";
            },
            "uninstall.exe --uninstall --silent --log C:\\setup.log",
            0,
            {"first stage of a removal, language en: *", "exit code 0",
             "vestrana setup " + kVersion + ", command line: *--from-temp --dir * --silent --log C:\\setup.log",
             "removal (silent), language en, folder " + kDir, "step started: closing vestrana",
             "ended vestrana.exe (process ID 8)", "step started: removing vestrana",
             "deleted the shortcut " + std::string(FakeMachine::kPrograms) + "\\vestrana.lnk",
             "deleted the uninstall entry " + kUninstallEntry, "removed the installed files in " + kDir,
             "step done: finishing", "the last stage deletes this copy, the installed uninstall.exe and the folder"},
            true}),
    [](const ::testing::TestParamInfo<LogCase>& info) { return info.param.label; });

}  // namespace
}  // namespace vestrana
