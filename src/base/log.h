#pragma once
// The log for administrators (--log FILE): one line of UTF-8 text per event,
// each starting with the local time of the event, appended to a file that
// several runs (a removal's two stages, a remove-then-install script) share.
//
// The procedures report into a Log; without --log that is null_log(), which
// drops everything. The real one, FileLog, writes on a thread of its own: a
// report only takes the time and queues the line, so neither the window
// thread nor a paced step ever waits for the disk. The log never fails the
// run: a file that cannot be written loses its lines and nothing else.

#include <condition_variable>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vestrana {

// A moment in local time, with how far local time is ahead of UTC.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;  // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int utc_offset_minutes = 0;  // negative west of Greenwich
};

// Where the local time of an event comes from.
class WallClock {
 public:
  virtual ~WallClock() = default;
  virtual LocalTime local_now() = 0;
};

// Where finished lines go: the file, opened once for appending.
class LogOutput {
 public:
  virtual ~LogOutput() = default;
  // Appends `text` (whole lines) in one piece; false when it could not.
  virtual bool append(std::string_view text) = 0;
};

// ISO 8601 with milliseconds and the offset: "2026-12-09T08:01:02.345+01:00".
std::string format_time_stamp(const LocalTime& time);

// One line of the file: the time stamp, a blank, the event with every
// control character (a line break inside a failure text) turned into a
// blank, and CR LF.
std::string format_log_line(const LocalTime& time, std::string_view event);

class Log {
 public:
  virtual ~Log() = default;
  // Records one event. Returns at once; safe from any thread.
  virtual void write(std::string_view event) = 0;
};

// The log of a run without --log: nothing is written anywhere.
Log& null_log();

// Writes one event made of `parts` joined. The procedures report through it
// rather than by adding strings at each call, which costs code at every one
// of them in a program that counts its bytes.
void log_line(Log& log, std::initializer_list<std::string_view> parts);

class FileLog final : public Log {
 public:
  FileLog(std::unique_ptr<LogOutput> output, WallClock& clock);
  FileLog(const FileLog&) = delete;
  FileLog& operator=(const FileLog&) = delete;
  ~FileLog() override;

  // Takes the time now and queues the line for the writer.
  void write(std::string_view event) override;
  // Writes everything queued so far, then stops the writer; events after
  // this are dropped. Called once the run is over.
  void close();

 private:
  void run_writer();
  void write_out(const std::string& text);

  std::unique_ptr<LogOutput> output_;
  WallClock& clock_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string queued_;
  bool closing_ = false;
  bool closed_ = false;
  std::thread writer_;
};

}  // namespace vestrana
