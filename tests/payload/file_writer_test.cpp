#include "payload/file_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"

namespace vestrana {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using Op = FakeFileSystem::Op;

const std::string kFolder = R"(C:\Users\me\AppData\Local\vestrana)";
const std::string kTarget = kFolder + R"(\vestrana.exe)";
const std::string kTemp = kFolder + R"(\vestrana.new)";

std::span<const uint8_t> as_bytes(std::string_view s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

class WriteFileReplacing : public ::testing::Test {
 protected:
  void SetUp() override { fs.add_folder(kFolder); }

  // Whatever happened, no temporary file may be left behind.
  void TearDown() override { EXPECT_FALSE(fs.exists(kTemp)) << "temporary file left behind"; }

  FakeFileSystem fs;
  FakeClock clock;
};

TEST_F(WriteFileReplacing, CreatesAMissingTargetByWayOfTheTemporaryFile) {
  EXPECT_EQ(write_file_replacing(fs, clock, kTarget, as_bytes("new")), std::nullopt);
  EXPECT_EQ(fs.text(kTarget), "new");
  EXPECT_THAT(fs.log(), ElementsAre("write " + kTemp, "rename " + kTemp + " -> " + kTarget));
}

TEST_F(WriteFileReplacing, ReplacesAnExistingTarget) {
  fs.add_file(kTarget, "old contents that are longer");
  EXPECT_EQ(write_file_replacing(fs, clock, kTarget, as_bytes("new")), std::nullopt);
  EXPECT_EQ(fs.text(kTarget), "new");
}

TEST_F(WriteFileReplacing, ReplacesAReadOnlyTargetByClearingTheAttributeFirst) {
  fs.add_file(kTarget, "old", /*read_only=*/true);
  EXPECT_EQ(write_file_replacing(fs, clock, kTarget, as_bytes("new")), std::nullopt);
  EXPECT_EQ(fs.text(kTarget), "new");
  EXPECT_FALSE(fs.is_read_only(kTarget));
  EXPECT_THAT(fs.log(), Contains("clear_read_only " + kTarget));
}

TEST_F(WriteFileReplacing, AFailedWriteKeepsTheOldContents) {
  fs.add_file(kTarget, "old");
  fs.fail_write(kTemp, fake_os_error(112));  // leaves a half-written temporary file
  std::optional<OsError> error = write_file_replacing(fs, clock, kTarget, as_bytes("new contents"));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, 112u);
  EXPECT_EQ(fs.text(kTarget), "old");
  EXPECT_THAT(fs.log(), Not(Contains(testing::StartsWith("rename"))));
}

TEST_F(WriteFileReplacing, ATargetInUseStaysAsItWas) {
  fs.add_file(kTarget, "running program");
  fs.set_in_use(kTarget);
  std::optional<OsError> error = write_file_replacing(fs, clock, kTarget, as_bytes("new"));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, kErrorAccessDenied);
  EXPECT_EQ(error->message, "Access is denied.");
  EXPECT_EQ(fs.text(kTarget), "running program");
}

TEST_F(WriteFileReplacing, ALinkPlantedAtTheTemporaryNameIsReplacedNotWrittenThrough) {
  fs.add_file(R"(C:\Users\me\Documents\thesis.docx)", "precious");
  for (bool folder_link : {false, true}) {
    fs.add_link(kTemp, R"(C:\Users\me\Documents\thesis.docx)", folder_link);
    EXPECT_EQ(write_file_replacing(fs, clock, kTarget, as_bytes("new")), std::nullopt);
    EXPECT_EQ(fs.text(kTarget), "new");
    EXPECT_FALSE(fs.is_link(kTarget));
    EXPECT_EQ(fs.text(R"(C:\Users\me\Documents\thesis.docx)"), "precious");
  }
}

// Another process holds the target (or the temporary file) for a while.
struct HoldCase {
  const char* what;
  bool hold_target;  // else the temporary file, e.g. a leftover being scanned
  std::chrono::milliseconds held_for;
  bool succeeds;
  friend void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.what; }
};

class WriteFileReplacingHold : public WriteFileReplacing, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(WriteFileReplacingHold, WaitsOutAShortHoldAndGivesUpOnALongOne) {
  const HoldCase& c = GetParam();
  fs.add_file(kTarget, "old");
  if (!c.hold_target) fs.add_file(kTemp, "leftover");
  fs.hold(c.hold_target ? kTarget : kTemp, clock, clock.now() + c.held_for);
  Clock::TimePoint started = clock.now();

  std::optional<OsError> error = write_file_replacing(fs, clock, kTarget, as_bytes("new"));

  auto waited = clock.now() - started;
  if (c.succeeds) {
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(fs.text(kTarget), "new");
    EXPECT_GE(waited, c.held_for);
    EXPECT_LT(waited, c.held_for + 2 * kHoldRetryPause);
  } else {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 32u);
    EXPECT_EQ(fs.text(kTarget), "old");
    EXPECT_GE(waited, kHoldRetryLimit);
    EXPECT_LT(waited, kHoldRetryLimit + 2 * kHoldRetryPause);
  }
  // Only short pauses, never one long sleep.
  for (auto pause : clock.sleeps()) EXPECT_LE(pause, kHoldRetryPause);
}

INSTANTIATE_TEST_SUITE_P(
    Holds, WriteFileReplacingHold,
    ::testing::Values(HoldCase{"target_released_after_1_5_s", true, std::chrono::milliseconds(1500), true},
                      HoldCase{"target_held_10_s", true, std::chrono::seconds(10), false},
                      HoldCase{"leftover_temporary_released_after_1_5_s", false, std::chrono::milliseconds(1500),
                               true}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(WriteFileReplacing, FailuresThatNoHoldCausesAreNotWaitedFor) {
  fs.add_file(kTarget, "old");
  fs.fail_write(kTemp, fake_os_error(112));  // disk full
  ASSERT_TRUE(write_file_replacing(fs, clock, kTarget, as_bytes("new")));
  fs.clear_failures();
  fs.fail(Op::RenameReplacing, kTemp, fake_os_error(3));
  ASSERT_TRUE(write_file_replacing(fs, clock, kTarget, as_bytes("new")));
  EXPECT_TRUE(clock.sleeps().empty());
  EXPECT_EQ(fs.text(kTarget), "old");
}

struct RenameCase {
  const char* what;
  std::optional<uint32_t> first;   // MoveFileExW's error, if any
  std::optional<uint32_t> retry;   // the handle rename's error, if any
  bool retried;
  std::optional<uint32_t> reported;
  friend void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.what; }
};

class WriteFileReplacingRename : public WriteFileReplacing,
                                 public ::testing::WithParamInterface<RenameCase> {};

TEST_P(WriteFileReplacingRename, ReportsTheRightError) {
  const RenameCase& c = GetParam();
  fs.add_file(kTarget, "old");
  if (c.first) fs.fail(Op::RenameReplacing, kTemp, fake_os_error(*c.first));
  if (c.retry) fs.fail(Op::RenameByHandle, kTemp, fake_os_error(*c.retry));

  std::optional<OsError> error = write_file_replacing(fs, clock, kTarget, as_bytes("new"));

  bool retried = false;
  for (const std::string& line : fs.log()) retried |= line.starts_with("rename_by_handle");
  EXPECT_EQ(retried, c.retried);
  if (c.reported) {
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, c.reported);
    EXPECT_EQ(error->message, fake_os_error(*c.reported).message);
    EXPECT_EQ(fs.text(kTarget), "old");
  } else {
    EXPECT_EQ(error, std::nullopt);
    EXPECT_EQ(fs.text(kTarget), "new");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFileReplacingRename,
    ::testing::Values(RenameCase{"plain rename", {}, {}, false, {}},
                      RenameCase{"access denied, retry works", 5, {}, true, {}},
                      RenameCase{"access denied, retry: dir not empty", 5, 145, true, 145},
                      RenameCase{"access denied, retry: sharing violation", 5, 32, true, 5},
                      RenameCase{"access denied, retry: access denied", 5, 5, true, 5},
                      RenameCase{"sharing violation: no handle rename", 32, {}, false, 32},
                      RenameCase{"path not found: no handle rename", 3, {}, false, 3}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) {
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(WriteFileReplacingNames, ATargetEndingInNewIsNeverItsOwnTemporaryFile) {
  FakeFileSystem fs;
  FakeClock clock;
  const std::string target = R"(C:\App\notes.NEW)";
  fs.add_file(target, "old");
  fs.fail(Op::RenameReplacing, target + ".new", fake_os_error(32));
  ASSERT_TRUE(write_file_replacing(fs, clock, target, as_bytes("new")));
  EXPECT_EQ(fs.text(target), "old");

  fs.clear_failures();
  EXPECT_EQ(write_file_replacing(fs, clock, target, as_bytes("new")), std::nullopt);
  EXPECT_EQ(fs.text(target), "new");
  EXPECT_THAT(fs.all_paths(), ElementsAre(R"(C:\App)", target));
}

// ---- create_folder_all ------------------------------------------------------------

TEST(CreateFolderAll, CreatesTheMissingFoldersOutermostFirst) {
  FakeFileSystem fs;
  fs.add_folder(R"(C:\Users\me)");
  EXPECT_EQ(create_folder_all(fs, R"(C:\Users\me\a\b\c\)"), std::nullopt);
  EXPECT_TRUE(fs.is_folder(R"(C:\Users\me\a\b\c)"));
  EXPECT_THAT(fs.log(), ElementsAre(R"(create_folder C:\Users\me\a)", R"(create_folder C:\Users\me\a\b)",
                                    R"(create_folder C:\Users\me\a\b\c\)"));
}

TEST(CreateFolderAll, AnExistingFolderIsSuccessWithoutWork) {
  FakeFileSystem fs;
  fs.add_folder(R"(C:\Users\me\vestrana)");
  EXPECT_EQ(create_folder_all(fs, R"(c:/users/ME/vestrana)"), std::nullopt);
  EXPECT_TRUE(fs.log().empty());
}

TEST(CreateFolderAll, AFileInTheWayIsAFailure) {
  for (const char* folder : {R"(C:\Users\me\vestrana)", R"(C:\Users\me\vestrana\deeper)"}) {
    FakeFileSystem fs;
    fs.add_file(R"(C:\Users\me\vestrana)", "a file");
    std::optional<OsError> error = create_folder_all(fs, folder);
    ASSERT_TRUE(error) << folder;
    EXPECT_EQ(error->code, kErrorAlreadyExists);
    EXPECT_EQ(fs.text(R"(C:\Users\me\vestrana)"), "a file");
  }
}

TEST(CreateFolderAll, StopsAtTheFirstFolderThatCannotBeCreated) {
  FakeFileSystem fs;
  fs.add_folder(R"(C:\Users)");
  fs.fail(Op::CreateFolder, R"(C:\Users\me)", fake_os_error(5));
  std::optional<OsError> error = create_folder_all(fs, R"(C:\Users\me\vestrana)");
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, kErrorAccessDenied);
  EXPECT_THAT(fs.log(), ElementsAre(R"(create_folder C:\Users\me)"));
}

}  // namespace
}  // namespace vestrana
