// The admin log's writer: the line format, and a writer thread that keeps
// every report from waiting for the file.
#include "base/log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vestrana {
namespace {

using ::testing::ElementsAre;

TEST(LogTimeStamp, IsLocalIso8601WithMillisecondsAndTheOffset) {
  struct Case {
    LocalTime time;
    const char* expected;
  };
  for (const Case& c : {
           Case{{2026, 12, 9, 8, 1, 2, 345, 60}, "2026-12-09T08:01:02.345+01:00"},
           Case{{2027, 1, 31, 23, 59, 59, 999, 0}, "2027-01-31T23:59:59.999+00:00"},
           Case{{2026, 3, 5, 0, 0, 0, 7, -210}, "2026-03-05T00:00:00.007-03:30"},  // Newfoundland
           Case{{2026, 7, 1, 12, 30, 5, 40, 345}, "2026-07-01T12:30:05.040+05:45"},  // Nepal
           Case{{2026, 7, 1, 12, 30, 5, 0, -600}, "2026-07-01T12:30:05.000-10:00"},
       }) {
    EXPECT_EQ(format_time_stamp(c.time), c.expected);
  }
}

TEST(LogLine, IsOneLineWhateverTheEventHolds) {
  LocalTime t{2026, 12, 9, 8, 1, 2, 345, 60};
  EXPECT_EQ(format_log_line(t, "exit code 0"), "2026-12-09T08:01:02.345+01:00 exit code 0\r\n");
  EXPECT_EQ(format_log_line(t, "failed:\r\nsecond\tline\x7F"),
            "2026-12-09T08:01:02.345+01:00 failed:  second line \r\n");
  // UTF-8 passes unchanged: only ASCII control characters are replaced.
  EXPECT_EQ(format_log_line(t, "C:\\Users\\J\xC3\xBCrgen"),
            "2026-12-09T08:01:02.345+01:00 C:\\Users\\J\xC3\xBCrgen\r\n");
}

// Hands out one second after the other, so that each line shows when it
// was reported, not when it was written.
class SteppingWallClock final : public WallClock {
 public:
  LocalTime local_now() override {
    std::lock_guard lock(mutex_);
    LocalTime t{2026, 12, 9, 8, 0, second_++, 0, 0};
    return t;
  }

 private:
  std::mutex mutex_;
  int second_ = 0;
};

// A file whose writes can be stopped, as a slow network share stops them.
class GatedOutput final : public LogOutput {
 public:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = true;
    bool fails = false;
    int appends_started = 0;
    std::string text;
  };
  explicit GatedOutput(Shared& shared) : s_(shared) {}

  bool append(std::string_view text) override {
    std::unique_lock lock(s_.mutex);
    ++s_.appends_started;
    s_.changed.notify_all();
    // Bounded only so that a broken writer fails the test instead of hanging it.
    s_.changed.wait_for(lock, std::chrono::seconds(20), [&] { return s_.open; });
    if (s_.fails) return false;
    s_.text += text;
    return true;
  }

 private:
  Shared& s_;
};

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

// A log whose file is set up by each test before its first report.
class FileLogTest : public ::testing::Test {
 protected:
  void set(bool GatedOutput::Shared::*field, bool value) {
    std::lock_guard lock(shared.mutex);
    shared.*field = value;
  }
  // Writes the first report and says whether the writer thread has handed
  // it to the file.
  bool write_first(std::string_view event) {
    log.write(event);
    std::unique_lock lock(shared.mutex);
    return shared.changed.wait_for(lock, std::chrono::seconds(20), [&] { return shared.appends_started == 1; });
  }

  GatedOutput::Shared shared;
  SteppingWallClock clock;
  FileLog log{std::make_unique<GatedOutput>(shared), clock};
};

TEST_F(FileLogTest, ReportsNeverWaitForTheFileAndAllArriveInOrder) {
  set(&GatedOutput::Shared::open, false);
  // The writer is now stuck in the file...
  ASSERT_TRUE(write_first("first"));
  // ...and reports still return, to be written later.
  log.write("second");
  log.write("third");
  {
    std::lock_guard lock(shared.mutex);
    EXPECT_EQ(shared.text, "") << "a report waited for the file";
  }
  set(&GatedOutput::Shared::open, true);
  shared.changed.notify_all();
  log.close();
  log.write("after the close");

  EXPECT_THAT(lines(shared.text),
              ElementsAre("2026-12-09T08:00:00.000+00:00 first", "2026-12-09T08:00:01.000+00:00 second",
                          "2026-12-09T08:00:02.000+00:00 third"));
}

TEST_F(FileLogTest, AFileThatRefusesLosesOnlyItsOwnLines) {
  set(&GatedOutput::Shared::fails, true);
  ASSERT_TRUE(write_first("lost"));
  set(&GatedOutput::Shared::fails, false);
  log.write("kept");
  log.close();
  EXPECT_THAT(lines(shared.text), ElementsAre("2026-12-09T08:00:01.000+00:00 kept"));
}

}  // namespace
}  // namespace vestrana
