#include "ui/frame_pacing.h"

namespace vestrana {

FrameWork FramePacer::wake(Clock::TimePoint now, bool minimized) {
  if (now + kEarlySlack < due_) return FrameWork{};
  due_ = now - due_ >= kInterval ? now + kInterval : due_ + kInterval;
  return FrameWork{true, !minimized};
}

std::chrono::nanoseconds FramePacer::wait(Clock::TimePoint now) const {
  if (now >= due_) return std::chrono::nanoseconds::zero();
  return due_ - now;
}

}  // namespace vestrana
