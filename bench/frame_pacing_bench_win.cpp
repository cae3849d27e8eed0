// How evenly the window's frames come, run under Wine or Windows:
//
//   wine build/windows/vestrana-pacing-bench.exe [SECONDS]
//
// For SECONDS (default 5) each, a hidden window is woken the way the setup
// window once was, by a 16 ms USER timer, and the way it is now, by the
// frame timer and the pacer; for each the median interval between ticks,
// the 10th and 90th percentile and the ticks per second. On Windows' default
// 15.625 ms clock the USER timer gives about 31 ms, the frame timer 16 ms;
// under Wine both give about 16 ms.

#include "system/windows_headers.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ui/frame_pacing.h"
#include "ui/frame_timer_win32.h"

namespace vestrana {
namespace {

using Times = std::vector<Clock::TimePoint>;

void report(const char* name, const Times& ticks, double seconds) {
  std::vector<double> intervals;
  for (size_t i = 1; i < ticks.size(); ++i) {
    intervals.push_back(std::chrono::duration<double, std::milli>(ticks[i] - ticks[i - 1]).count());
  }
  if (intervals.empty()) {
    std::printf("%-28s no ticks\n", name);
    return;
  }
  std::sort(intervals.begin(), intervals.end());
  auto at = [&](double share) {
    return intervals[static_cast<size_t>(share * static_cast<double>(intervals.size() - 1))];
  };
  std::printf("%-28s median %6.2f ms  p10 %6.2f  p90 %6.2f  %5.1f ticks/s\n", name, at(0.5), at(0.1), at(0.9),
              static_cast<double>(ticks.size()) / seconds);
}

struct Run {
  Times ticks;
  Clock::TimePoint end;
  FrameTimer* timer = nullptr;
  FramePacer* pacer = nullptr;
};
Run* current = nullptr;

// Records a tick: every WM_TIMER for the USER timer alone, or what the pacer
// finds due for the frame timer.
void wake() {
  const Clock::TimePoint now = std::chrono::steady_clock::now();
  if (current->pacer == nullptr) {
    current->ticks.push_back(now);
  } else {
    if (current->pacer->wake(now, false).tick) current->ticks.push_back(now);
    current->timer->arm(current->pacer->wait(std::chrono::steady_clock::now()));
  }
  if (now >= current->end) PostQuitMessage(0);
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_TIMER && current != nullptr) {
    wake();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND make_window() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"VestranaPacingBench";
  RegisterClassExW(&window_class);
  return CreateWindowExW(0, window_class.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         window_class.hInstance, nullptr);
}

}  // namespace
}  // namespace vestrana

int main(int argc, char** argv) {
  using namespace vestrana;
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const auto length = std::chrono::duration_cast<Clock::TimePoint::duration>(std::chrono::duration<double>(seconds));
  HWND window = make_window();
  if (window == nullptr) return 1;

  {
    Run run;
    run.end = std::chrono::steady_clock::now() + length;
    current = &run;
    SetTimer(window, 7, 16, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    KillTimer(window, 7);
    report("USER timer, 16 ms", run.ticks, seconds);
  }
  {
    FrameTimer timer;
    FramePacer pacer(std::chrono::steady_clock::now());
    Run run;
    run.end = std::chrono::steady_clock::now() + length;
    run.timer = &timer;
    run.pacer = &pacer;
    current = &run;
    timer.attach(window);
    timer.arm(pacer.wait(std::chrono::steady_clock::now()));
    timer.run_messages(wake);
    report(timer.high_resolution() ? "frame timer (high-res)" : "frame timer (USER fallback)", run.ticks, seconds);
  }
  current = nullptr;
  DestroyWindow(window);
  return 0;
}
