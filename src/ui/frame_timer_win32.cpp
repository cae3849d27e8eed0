#include "ui/frame_timer_win32.h"

#include <algorithm>

namespace vestrana {
namespace {

// Not in every SDK's headers yet; the value is Windows'.
constexpr DWORD kHighResolution = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
// Shorter than the system tick: Windows raises it to USER_TIMER_MINIMUM and
// fires on every tick, a system with a finer clock every 8 ms.
constexpr UINT kUserTimerMs = 8;

}  // namespace

// Windows before 10 1803 refuses the flag with ERROR_INVALID_PARAMETER
// (CreateWaitableTimerExW); the handle then stays empty.
FrameTimer::FrameTimer()
    : timer_(CreateWaitableTimerExW(nullptr, nullptr, kHighResolution, TIMER_MODIFY_STATE | SYNCHRONIZE)) {}

FrameTimer::~FrameTimer() {
  if (user_timer_ && window_ != nullptr) KillTimer(window_, kTimerId);
}

void FrameTimer::attach(HWND window) {
  window_ = window;
  if (!high_resolution()) start_user_timer();
}

void FrameTimer::start_user_timer() {
  if (window_ != nullptr && !user_timer_) user_timer_ = SetTimer(window_, kTimerId, kUserTimerMs, nullptr) != 0;
}

void FrameTimer::arm(std::chrono::nanoseconds wait) {
  if (!high_resolution()) return;
  // A relative due time is negative, in 100 ns units; -1 fires at once.
  LARGE_INTEGER due;
  due.QuadPart = -std::max<long long>(wait.count() / 100, 1);
  SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE);
}

void FrameTimer::enter_modal() {
  if (high_resolution()) start_user_timer();
}

void FrameTimer::leave_modal() {
  if (!high_resolution() || !user_timer_) return;
  KillTimer(window_, kTimerId);
  user_timer_ = false;
}

}  // namespace vestrana
