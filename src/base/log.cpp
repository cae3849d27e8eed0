#include "base/log.h"

#include <cstdlib>

namespace vestrana {
namespace {

class NullLog final : public Log {
 public:
  void write(std::string_view) override {}
};

// Appends `value` in exactly `width` decimal digits.
void put_digits(std::string& out, int value, int width) {
  size_t end = out.size() + static_cast<size_t>(width);
  out.resize(end);
  for (size_t k = end; k-- > end - static_cast<size_t>(width);) {
    out[k] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
}

}  // namespace

std::string format_time_stamp(const LocalTime& t) {
  // By hand rather than with snprintf, whose MinGW implementation alone
  // would be a tenth of the program.
  const int offset = std::abs(t.utc_offset_minutes);
  struct Piece {
    int value;
    int width;
    char after;
  };
  const Piece pieces[] = {
      {t.year, 4, '-'},
      {t.month, 2, '-'},
      {t.day, 2, 'T'},
      {t.hour, 2, ':'},
      {t.minute, 2, ':'},
      {t.second, 2, '.'},
      {t.millisecond, 3, t.utc_offset_minutes < 0 ? '-' : '+'},
      {offset / 60, 2, ':'},
      {offset % 60, 2, '\0'},
  };
  std::string text;
  for (const Piece& p : pieces) {
    put_digits(text, p.value, p.width);
    if (p.after != '\0') text += p.after;
  }
  return text;
}

std::string format_log_line(const LocalTime& time, std::string_view event) {
  std::string line = format_time_stamp(time);
  line += ' ';
  for (char c : event) {
    auto byte = static_cast<unsigned char>(c);
    line += byte < 0x20 || byte == 0x7F ? ' ' : c;
  }
  line += "\r\n";
  return line;
}

void log_line(Log& log, std::initializer_list<std::string_view> parts) {
  std::string event;
  for (std::string_view part : parts) event += part;
  log.write(event);
}

Log& null_log() {
  static NullLog log;
  return log;
}

FileLog::FileLog(std::unique_ptr<LogOutput> output, WallClock& clock) : output_(std::move(output)), clock_(clock) {
  try {
    writer_ = std::thread([this] { run_writer(); });
  } catch (...) {
    // Without a writer the lines wait in the queue until close(), which runs
    // when the window is long gone.
  }
}

FileLog::~FileLog() { close(); }

void FileLog::write(std::string_view event) {
  std::string line = format_log_line(clock_.local_now(), event);
  {
    std::lock_guard lock(mutex_);
    if (closing_) return;
    queued_ += line;
  }
  wake_.notify_one();
}

void FileLog::close() {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    closing_ = true;
    closed_ = true;
  }
  wake_.notify_one();
  if (writer_.joinable()) {
    writer_.join();
  } else {
    write_out(queued_);
    queued_.clear();
  }
}

void FileLog::run_writer() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return closing_ || !queued_.empty(); });
    if (queued_.empty()) return;  // closing, and everything is written
    std::string text = std::move(queued_);
    queued_.clear();
    lock.unlock();
    write_out(text);
    lock.lock();
  }
}

void FileLog::write_out(const std::string& text) {
  // A failed write loses these lines; the next ones are tried all the same.
  if (!text.empty() && output_) (void)output_->append(text);
}

}  // namespace vestrana
