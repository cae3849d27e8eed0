// Replacing the installed files as one set: what a failure at any step
// leaves, and that a run stopped after any single file operation is made
// whole again by the next one.
#include "payload/file_set.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"

namespace vestrana {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using ::testing::StartsWith;
using Op = FakeFileSystem::Op;
using Kind = FileSetEvent::Kind;

const std::string kFolder = R"(C:\Users\me\AppData\Local\vestrana)";
const std::string_view kNames[] = {"WebView2Loader.dll", "vestrana.exe", "uninstall.exe"};

std::string at(std::string_view name) { return kFolder + "\\" + std::string(name); }

std::span<const uint8_t> as_bytes(std::string_view s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// The fake file system, stopping after a given number of changes as a
// process killed at that moment would: every later change fails (with a code
// no hold gives, so nothing waits) and reads see the state as it is.
class StoppingFileSystem : public FakeFileSystem {
 public:
  static constexpr int kNever = 1 << 30;
  // From now on `changes` more changes go through.
  void stop_after(int changes) { left_ = changes; }
  bool stopped() const { return left_ < 0; }
  // Called after each folder this file system created.
  std::function<void(const std::string&)> created_folder;

  std::optional<OsError> write_new_file(const std::string& path, std::span<const uint8_t> bytes) override {
    return stop() ? kGone : FakeFileSystem::write_new_file(path, bytes);
  }
  std::optional<OsError> rename_replacing(const std::string& from, const std::string& to) override {
    return stop() ? kGone : FakeFileSystem::rename_replacing(from, to);
  }
  std::optional<OsError> rename_by_handle(const std::string& from, const std::string& to) override {
    return stop() ? kGone : FakeFileSystem::rename_by_handle(from, to);
  }
  std::optional<OsError> create_folder(const std::string& path) override {
    std::optional<OsError> error = stop() ? kGone : FakeFileSystem::create_folder(path);
    if (!error && created_folder) created_folder(path);
    return error;
  }
  bool delete_file(const std::string& path, OsError* error = nullptr) override {
    return !stop(error) && FakeFileSystem::delete_file(path, error);
  }
  bool remove_folder(const std::string& path, OsError* error = nullptr) override {
    return !stop(error) && FakeFileSystem::remove_folder(path, error);
  }
  bool clear_read_only(const std::string& path) override { return !stop() && FakeFileSystem::clear_read_only(path); }

 private:
  const OsError kGone = fake_os_error(21);  // "The device is not ready."
  // Counts one change; true (and `error` set) once the changes are used up.
  bool stop(OsError* error = nullptr) {
    if (--left_ >= 0) return false;
    if (error) *error = kGone;
    return true;
  }
  int left_ = kNever;
};

class FileSetTest : public ::testing::Test {
 protected:
  // The earlier installation: every file's old contents.
  void add_old_set() {
    for (std::string_view name : kNames) fs->add_file(at(name), "old " + std::string(name));
  }
  std::vector<SetFile> new_set() {
    std::vector<SetFile> set;
    for (size_t i = 0; i < 3; ++i) set.push_back(SetFile{std::string(kNames[i]), as_bytes(kNew[i])});
    return set;
  }
  std::optional<OsError> replace() {
    std::vector<SetFile> set = new_set();
    return replace_file_set(*fs, clock, kFolder, set, &events);
  }
  // The names in the folder, sorted.
  std::vector<std::string> in_folder() {
    std::vector<std::string> names = fs->paths_under(kFolder);
    std::sort(names.begin(), names.end());
    return names;
  }
  // The folder holds exactly the old (or the new) set and nothing else.
  void expect_only(bool new_files) {
    EXPECT_THAT(in_folder(), ElementsAre("WebView2Loader.dll", "uninstall.exe", "vestrana.exe"));
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(fs->text(at(kNames[i])), new_files ? std::string(kNew[i]) : "old " + std::string(kNames[i]));
    }
  }

  static constexpr std::string_view kNew[] = {"new loader", "new program", "new uninstaller"};
  std::unique_ptr<StoppingFileSystem> fs = std::make_unique<StoppingFileSystem>();
  FakeClock clock;
  std::vector<FileSetEvent> events;
};

TEST_F(FileSetTest, WritesEveryTemporaryFileBeforeTouchingAnyOldOne) {
  add_old_set();
  fs->clear_log();
  ASSERT_EQ(replace(), std::nullopt);
  expect_only(/*new_files=*/true);
  std::vector<std::string> renames;
  for (const std::string& line : fs->log()) {
    if (line.starts_with("write ") || line.starts_with("rename ")) renames.push_back(line);
  }
  EXPECT_THAT(renames, ElementsAre("write " + at("WebView2Loader.new"), "write " + at("vestrana.new"),
                                   "write " + at("uninstall.new"),
                                   "rename " + at("WebView2Loader.dll") + " -> " + at("WebView2Loader.old"),
                                   "rename " + at("WebView2Loader.new") + " -> " + at("WebView2Loader.dll"),
                                   "rename " + at("vestrana.exe") + " -> " + at("vestrana.old"),
                                   "rename " + at("vestrana.new") + " -> " + at("vestrana.exe"),
                                   "rename " + at("uninstall.exe") + " -> " + at("uninstall.old"),
                                   "rename " + at("uninstall.new") + " -> " + at("uninstall.exe")));
  ASSERT_EQ(events.size(), 12u);
  EXPECT_EQ(events[0].kind, Kind::Written);
  EXPECT_EQ(events[0].size, kNew[0].size());
  EXPECT_EQ(events.back().kind, Kind::RemovedBackup);
}

TEST_F(FileSetTest, CreatesAMissingFolderAndOneThatVanishesBeforeTheFirstWrite) {
  // A removal's cleanup removes the empty folder just after it was created.
  fs->add_folder(R"(C:\Users\me\AppData\Local)");
  bool removed = false;
  fs->created_folder = [&](const std::string& path) {
    if (!removed && path == kFolder) removed = fs->remove_folder(kFolder);
  };
  ASSERT_EQ(replace(), std::nullopt);
  EXPECT_TRUE(removed);
  expect_only(/*new_files=*/true);
}

TEST_F(FileSetTest, AReadOnlyOldFileIsReplacedAndItsBackupDeleted) {
  add_old_set();
  fs->set_read_only(at("vestrana.exe"));
  ASSERT_EQ(replace(), std::nullopt);
  expect_only(/*new_files=*/true);
  EXPECT_FALSE(fs->is_read_only(at("vestrana.exe")));
}

TEST_F(FileSetTest, ALinkPlantedAtATemporaryNameIsReplacedNotWrittenThrough) {
  add_old_set();
  const std::string precious = R"(C:\Users\me\Documents\thesis.docx)";
  fs->add_file(precious, "precious");
  for (bool folder_link : {false, true}) {
    fs->add_link(at("vestrana.new"), precious, folder_link);
    ASSERT_EQ(replace(), std::nullopt);
    EXPECT_FALSE(fs->is_link(at("vestrana.exe")));
    EXPECT_EQ(fs->text(at("vestrana.exe")), kNew[1]);
    EXPECT_EQ(fs->text(precious), "precious");
  }
}

// One operation of one file fails for good: the earlier set stays byte for
// byte, with nothing else in its folder, and the first failure is reported.
struct FailureCase {
  const char* what;
  Op op;
  const char* path;  // the name the failing operation starts from
  uint32_t code;
  bool first_install = false;  // no old files at all
  friend void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }
};

class FileSetFailure : public FileSetTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FileSetFailure, LeavesTheEarlierSetAsItWas) {
  const FailureCase& c = GetParam();
  if (!c.first_install) add_old_set();
  fs->add_folder(kFolder);
  fs->fail(c.op, at(c.path), fake_os_error(c.code));
  std::optional<OsError> error = replace();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, c.code);
  if (c.first_install) {
    EXPECT_TRUE(fs->is_folder(kFolder));
    EXPECT_THAT(in_folder(), ElementsAre());
  } else {
    expect_only(/*new_files=*/false);
  }
  // A failure that no hold causes is not waited for.
  EXPECT_TRUE(clock.sleeps().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FileSetFailure,
    ::testing::Values(FailureCase{"disk_full_writing_the_first", Op::Write, "WebView2Loader.new", 112},
                      FailureCase{"disk_full_writing_the_last", Op::Write, "uninstall.new", 112},
                      FailureCase{"moving_the_first_old_aside", Op::RenameReplacing, "WebView2Loader.dll", 87},
                      FailureCase{"moving_the_second_new_in", Op::RenameReplacing, "vestrana.new", 87},
                      FailureCase{"moving_the_last_old_aside", Op::RenameReplacing, "uninstall.exe", 87},
                      FailureCase{"moving_the_last_new_in", Op::RenameReplacing, "uninstall.new", 87},
                      FailureCase{"first_install_last_new_in", Op::RenameReplacing, "uninstall.new", 87, true}),
    [](const auto& info) { return std::string(info.param.what); });

// Another process holds one of the old files (reading, sharing read only):
// a short hold is waited out, one longer than the budget fails the set.
struct HoldCase {
  const char* name;
  std::chrono::milliseconds held_for;
  bool succeeds;
  friend void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name << " " << c.held_for.count(); }
};

class FileSetHold : public FileSetTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(FileSetHold, WaitsOutAShortHoldAndGivesUpOnALongOne) {
  const HoldCase& c = GetParam();
  add_old_set();
  fs->hold(at(c.name), clock, clock.now() + c.held_for);
  Clock::TimePoint started = clock.now();

  std::optional<OsError> error = replace();

  auto waited = clock.now() - started;
  if (c.succeeds) {
    EXPECT_EQ(error, std::nullopt);
    EXPECT_GE(waited, c.held_for);
    EXPECT_LT(waited, c.held_for + 2 * kHoldRetryPause);
  } else {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 32u);
    EXPECT_GE(waited, kHoldRetryLimit);
    EXPECT_LT(waited, kHoldRetryLimit + 2 * kHoldRetryPause);
  }
  expect_only(c.succeeds);
  // Only short pauses, never one long sleep.
  for (auto pause : clock.sleeps()) EXPECT_LE(pause, kHoldRetryPause);
}

INSTANTIATE_TEST_SUITE_P(Holds, FileSetHold,
                         ::testing::Values(HoldCase{"vestrana.exe", std::chrono::milliseconds(1500), true},
                                           HoldCase{"WebView2Loader.dll", std::chrono::seconds(10), false},
                                           HoldCase{"vestrana.exe", std::chrono::seconds(10), false},
                                           HoldCase{"uninstall.exe", std::chrono::seconds(10), false}));

struct RenameCase {
  const char* what;
  std::optional<uint32_t> first;  // MoveFileExW's error moving the new file in, if any
  std::optional<uint32_t> retry;  // the handle rename's error, if any
  bool retried;
  std::optional<uint32_t> reported;
  friend void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.what; }
};

class FileSetRename : public FileSetTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(FileSetRename, FallsBackToTheHandleRenameAndReportsTheTellingError) {
  const RenameCase& c = GetParam();
  add_old_set();
  if (c.first) fs->fail(Op::RenameReplacing, at("vestrana.new"), fake_os_error(*c.first));
  if (c.retry) fs->fail(Op::RenameByHandle, at("vestrana.new"), fake_os_error(*c.retry));

  std::optional<OsError> error = replace();

  std::vector<std::string> log = fs->log();
  EXPECT_EQ(
      std::any_of(log.begin(), log.end(), [](const std::string& line) { return line.starts_with("rename_by_handle"); }),
      c.retried);
  if (c.reported) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, c.reported);
    EXPECT_EQ(error->message, fake_os_error(*c.reported).message);
  } else {
    EXPECT_EQ(error, std::nullopt);
  }
  expect_only(!c.reported);
}

INSTANTIATE_TEST_SUITE_P(Cases, FileSetRename,
                         ::testing::Values(RenameCase{"access_denied_retry_works", 5, {}, true, {}},
                                           RenameCase{"access_denied_retry_dir_not_empty", 5, 145, true, 145},
                                           RenameCase{"access_denied_retry_sharing_violation", 5, 32, true, 5},
                                           RenameCase{"path_not_found_no_handle_rename", 3, {}, false, 3}),
                         [](const auto& info) { return std::string(info.param.what); });

// ---- Recovery -----------------------------------------------------------------

// What a killed run can leave, file by file: "o" old in place, "n" new in
// place, "-" nothing in place; "+N" a temporary file, "+B" a backup.
struct Leftover {
  const char* what;
  std::vector<std::string> files;  // per kNames
  Recovery recovery;
  bool new_set;
};

TEST_F(FileSetTest, RecoveryMakesEveryLeftoverStateOneWholeSet) {
  const Leftover cases[] = {
      {"nothing left", {"o", "o", "o"}, Recovery::Clean, false},
      {"killed writing temporaries", {"o+N", "o+N", "o"}, Recovery::RolledBack, false},
      {"killed between aside and in", {"n+B", "-+N+B", "o+N"}, Recovery::RolledBack, false},
      {"killed before the last aside", {"n+B", "n+B", "o+N"}, Recovery::RolledBack, false},
      {"killed before the last in", {"n+B", "n+B", "-+N+B"}, Recovery::RolledBack, false},
      {"killed deleting backups", {"n", "n+B", "n+B"}, Recovery::Finished, true},
  };
  for (const Leftover& c : cases) {
    SCOPED_TRACE(c.what);
    fs = std::make_unique<StoppingFileSystem>();
    fs->add_folder(kFolder);
    for (size_t i = 0; i < 3; ++i) {
      std::string_view name = kNames[i];
      const std::string& state = c.files[i];
      if (state[0] != '-') fs->add_file(at(name), state[0] == 'o' ? "old " + std::string(name) : std::string(kNew[i]));
      if (state.find("+N") != std::string::npos) fs->add_file(at(temporary_name(name)), kNew[i]);
      if (state.find("+B") != std::string::npos) fs->add_file(at(backup_name(name)), "old " + std::string(name));
    }
    RecoveryResult result = recover_file_set(*fs, clock, kFolder, kNames);
    EXPECT_EQ(result.recovery, c.recovery);
    EXPECT_EQ(result.error, std::nullopt);
    expect_only(c.new_set);
  }
}

TEST_F(FileSetTest, ABackupThatCannotBePutBackKeepsTheTemporaryFilesAsItsMark) {
  fs->add_file(at("vestrana.exe"), "new program");
  fs->add_file(at("vestrana.old"), "old vestrana.exe");
  fs->add_file(at("uninstall.new"), "new uninstaller");
  fs->fail(Op::RenameReplacing, at("vestrana.old"), fake_os_error(87));
  RecoveryResult result = recover_file_set(*fs, clock, kFolder, kNames);
  ASSERT_TRUE(result.error);
  EXPECT_EQ(result.error->code, 87u);
  EXPECT_TRUE(fs->exists(at("uninstall.new")));

  fs->clear_failures();
  EXPECT_EQ(recover_file_set(*fs, clock, kFolder, kNames).recovery, Recovery::RolledBack);
  EXPECT_EQ(fs->text(at("vestrana.exe")), "old vestrana.exe");
  EXPECT_THAT(in_folder(), ElementsAre("vestrana.exe"));
}

// ---- Killed after any single file operation ---------------------------------

TEST_F(FileSetTest, AKillAfterAnyFileOperationLeavesASetTheNextRunMakesWhole) {
  for (bool first_install : {false, true}) {
    for (int kill_after = 0;; ++kill_after) {
      SCOPED_TRACE((first_install ? "first install, killed after " : "update, killed after ") +
                   std::to_string(kill_after));
      fs = std::make_unique<StoppingFileSystem>();
      fs->add_folder(R"(C:\Users\me\AppData\Local)");
      if (!first_install) add_old_set();
      // A read-only old file makes the replacement take its longest way.
      if (!first_install) fs->set_read_only(at("vestrana.exe"));
      fs->stop_after(kill_after);
      std::vector<SetFile> set = new_set();
      std::optional<OsError> error = replace_file_set(*fs, clock, kFolder, set);
      if (!fs->stopped()) {
        EXPECT_EQ(error, std::nullopt);
        expect_only(/*new_files=*/true);
        EXPECT_GE(kill_after, first_install ? 7 : 12);
        break;
      }
      // The recovery itself may be killed too, as often as it likes.
      for (int recovery_kill = 0;; ++recovery_kill) {
        fs->stop_after(recovery_kill);
        RecoveryResult recovered = recover_file_set(*fs, clock, kFolder, kNames);
        if (!fs->stopped()) {
          EXPECT_EQ(recovered.error, std::nullopt);
          break;
        }
      }
      if (!first_install) {
        // Exactly one whole set: all old or all new.
        expect_only(fs->text(at("uninstall.exe")) == std::string(kNew[2]));
      } else {
        // Whatever new files are in place, no temporary file or backup is.
        for (const std::string& name : in_folder()) {
          EXPECT_NE(std::find(std::begin(kNames), std::end(kNames), name), std::end(kNames)) << name;
        }
      }
      // And the rerun's own replacement finishes it.
      fs->stop_after(StoppingFileSystem::kNever);
      ASSERT_EQ(replace_file_set(*fs, clock, kFolder, set), std::nullopt);
      expect_only(/*new_files=*/true);
    }
  }
}

}  // namespace
}  // namespace vestrana
