#pragma once
// Owns one kernel handle and closes it when it goes. Both failure values of
// the API (null from OpenProcess, INVALID_HANDLE_VALUE from CreateFileW and
// the process snapshot) count as "none".

#include "system/windows_headers.h"

namespace vestrana {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { close(); }

  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Hands the handle over to another owner.
  HANDLE release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // Takes over `handle`, closing the one held before.
  void reset(HANDLE handle) {
    close();
    handle_ = handle;
  }
  // Closes now, so that a file can be renamed while this object lives on.
  void close() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace vestrana
