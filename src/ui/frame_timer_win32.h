#pragma once
// What wakes the window for its frames without raising the system's timer
// resolution: a high-resolution waitable timer (Windows 10 1803 and later)
// that the message loop waits on beside the messages, set each time for the
// wait the frame pacer gives. Where such a timer cannot be made, and while a
// modal loop of the system (moving the window, its system menu) runs
// instead of ours, a USER timer shorter than the system tick wakes the
// window through WM_TIMER; the pacer then skips the wake-ups that come
// early.

#include "system/windows_headers.h"

#include <chrono>

#include "system/unique_handle_win32.h"

namespace vestrana {

class FrameTimer {
 public:
  FrameTimer();
  FrameTimer(const FrameTimer&) = delete;
  FrameTimer& operator=(const FrameTimer&) = delete;
  ~FrameTimer();

  // The window whose WM_TIMER carries the wake-ups when the high-resolution
  // timer is missing or a modal loop runs; without one yet, nothing ticks.
  void attach(HWND window);
  bool high_resolution() const { return timer_.valid(); }

  // Wakes the loop after `wait` (at once for zero).
  void arm(std::chrono::nanoseconds wait);
  // A modal loop of the system starts or ends.
  void enter_modal();
  void leave_modal();

  // Runs the thread's messages until WM_QUIT; `wake` is called each time the
  // high-resolution timer fires. Returns the WM_QUIT's exit code.
  template <typename Wake>
  int run_messages(Wake&& wake) {
    for (;;) {
      const HANDLE timer = timer_.get();
      const DWORD count = timer_.valid() ? 1 : 0;
      // MWMO_INPUTAVAILABLE: also return for input that arrived while the
      // last messages were handled; the timer wins over a busy queue, as the
      // lowest index is reported first.
      const DWORD woke = MsgWaitForMultipleObjectsEx(count, &timer, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
      if (count == 1 && woke == WAIT_OBJECT_0) wake();
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      // Not expected; waiting for the next message keeps the loop from
      // spinning.
      if (woke == WAIT_FAILED) WaitMessage();
    }
  }

  static constexpr UINT_PTR kTimerId = 1;

 private:
  void start_user_timer();

  UniqueHandle timer_;
  HWND window_ = nullptr;
  bool user_timer_ = false;
};

}  // namespace vestrana
