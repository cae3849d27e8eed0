// The only code that talks to the windowing system: one frameless window,
// sized for its monitor's DPI, repainted from the screen state on every
// frame the pacer finds due, with mouse and keys turned into the state
// machine's events. The decisions live in portable code (window_input,
// window_geometry, frame_pacing); each message has a handler of its own.
#include "system/windows_headers.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "paint/font_folder_win32.h"
#include "paint/pixmap.h"
#include "paint/text.h"
#include "base/product.h"
#include "system/app_processes.h"
#include "system/com_apartment_win32.h"
#include "system/known_folders.h"
#include "system/text_win32.h"
#include "ui/accessible_tree.h"
#include "ui/accessible_win32.h"
#include "ui/clipboard_win32.h"
#include "ui/desktop_window_manager_win32.h"
#include "ui/frame_diff.h"
#include "ui/frame_pacing.h"
#include "ui/frame_timer_win32.h"
#include "ui/layout.h"
#include "ui/paint_screen.h"
#include "ui/palette_win32.h"
#include "ui/screens.h"
#include "ui/ui_state.h"
#include "ui/window_geometry.h"
#include "ui/window_handoff.h"
#include "ui/window_host.h"
#include "ui/window_icons_win32.h"
#include "ui/window_input.h"

namespace vestrana {
namespace {

constexpr DWORD kExStyle = WS_EX_APPWINDOW;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kWindowCornerPreference = 33;  // DWMWA_WINDOW_CORNER_PREFERENCE
constexpr DWORD kCornerRound = 2;  // DWMWCP_ROUND
constexpr DWORD kImmersiveDarkMode = 20;  // DWMWA_USE_IMMERSIVE_DARK_MODE
// The same attribute's number before Windows 10 2004 (still in LTSC 2019),
// which refuses 20.
constexpr DWORD kImmersiveDarkModeBefore2004 = 19;

class WindowsEffects final : public WindowEffects {
 public:
  WindowsEffects(Platform& platform) : platform_(platform) {}
  void attach(HWND window) { window_ = window; }
  void minimize() override { ShowWindow(window_, SW_MINIMIZE); }
  void request_close() override { PostMessageW(window_, WM_CLOSE, 0, 0); }
  void launch_app() override {
    // A failure to start is ignored: the setup closes as after a launch.
    if (std::optional<std::string> folder = default_install_folder(platform_.folders)) {
      vestrana::launch_app(platform_.processes, *folder);
    }
  }

 private:
  Platform& platform_;
  HWND window_ = nullptr;
};

// Everything the window owns, from WM_NCCREATE to WM_NCDESTROY.
struct WindowContext final : AccessibleWindow {
  WindowContext(UiState s, Platform& platform, std::span<const uint8_t> packed_app, FrameTimer& frame_timer)
      : state(std::move(s)),
        effects(platform),
        runner(platform, packed_app),
        timer(frame_timer),
        pacer(std::chrono::steady_clock::now()) {}

  void attach(HWND w) {
    window = w;
    effects.attach(w);
  }
  // Tells screen readers what the last message changed, and Windows why
  // sign-out should wait while the work runs.
  void report_changes() {
    notify_accessible_events(window, events.update(state, state.fonts));
    const std::optional<std::string_view> reason = shutdown_block_reason(state);
    if (reason == shutdown_reason) return;
    if (reason) {
      ShutdownBlockReasonCreate(window, to_wide(*reason).c_str());
    } else {
      ShutdownBlockReasonDestroy(window);
    }
    shutdown_reason = reason;
  }
  void report_focus() { notify_accessible_events(window, AccessibleEvents::focus_gained(state, state.fonts)); }

  UiState& accessible_state() override { return state; }
  void accessible_action(ElementRef element) override {
    handle_action(state, element, effects, runner);
    report_changes();
  }
  bool accessible_focus(ElementRef element) override {
    const bool taken = take_focus(state, element);
    report_changes();
    return taken;
  }

  HWND window = nullptr;
  UiState state;
  WindowsEffects effects;
  WorkerRunner runner;
  DesktopWindowManager dwm;
  FrameTimer& timer;
  FramePacer pacer;
  WindowIcons icons;
  // The reason given to Windows while it is set (string table data).
  std::optional<std::string_view> shutdown_reason;
  // The last painted frame, `shown`: the window shows it everywhere outside
  // its update region. The next frame is painted into `frame` (kept, so no
  // frame allocates) and compared with `shown`, and the two swap roles.
  // Painting the window converts the invalid part of `shown` into device
  // bytes a strip of rows at a time, so no third frame-sized buffer is kept.
  Pixmap frame, shown;
  std::vector<uint8_t> strip;
  AccessibleEvents events;
  // Last, so that it is destroyed first: the object is cut off from the
  // window before anything it could reach goes away.
  AccessibleObjectHolder accessible;
};

WindowContext* context_of(HWND window) {
  return reinterpret_cast<WindowContext*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

float window_scale(HWND window) { return dpi_scale(GetDpiForWindow(window)); }

// The element under a client point, in the canvas's logical units.
ElementRef element_at(HWND window, WindowContext& context, POINT client) {
  float scale = window_scale(window);
  return hit_test(context.state, context.state.fonts, static_cast<float>(client.x) / scale,
                  static_cast<float>(client.y) / scale);
}

POINT point_of(LPARAM lparam) { return POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))}; }

// Paints the whole current screen as the next frame; returns the rectangle
// where it differs from the last one.
DeviceRect paint_frame(HWND window, WindowContext& context) {
  float scale = window_scale(window);
  FrameSize size = frame_size(scale);
  Pixmap& frame = context.frame;
  if (frame.width() != static_cast<int>(size.width) || frame.height() != static_cast<int>(size.height)) {
    frame = Pixmap(static_cast<int>(size.width), static_cast<int>(size.height));
  }
  paint_screen(context.state, frame, context.state.fonts, scale);
  // A last frame of another size (none yet, or another DPI) gives the whole
  // frame.
  const DeviceRect changed = changed_rect({context.shown.data(), context.shown.byte_size()},
                                          {frame.data(), frame.byte_size()}, frame.width(), frame.height());
  std::swap(frame, context.shown);
  return changed;
}

// Rows of device bytes converted and copied at a time: small enough to stay
// in the processor's cache between the conversion and the copy.
constexpr size_t kStripBytes = size_t{256} << 10;

// Copies the invalid part of the window from the last frame; the rest of
// the window shows that frame already.
void paint(HWND window, WindowContext* context) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  bool new_size = false;
  if (context != nullptr && dc != nullptr) {
    const FrameSize want = frame_size(window_scale(window));
    const Pixmap& shown = context->shown;
    if (static_cast<uint32_t>(shown.width()) != want.width || static_cast<uint32_t>(shown.height()) != want.height) {
      paint_frame(window, *context);  // first paint, or a new DPI
      new_size = true;
    }
    const RECT& invalid = ps.rcPaint;
    const DeviceRect area = clip_to_frame(DeviceRect{invalid.left, invalid.top, invalid.right, invalid.bottom},
                                          shown.width(), shown.height());
    if (area.left < area.right) {
      const int32_t rows = strip_rows(area.right - area.left, kStripBytes);
      for (int32_t y = area.top; y < area.bottom; y += rows) {
        const DeviceRect part = to_device_bytes(
            shown, DeviceRect{area.left, y, area.right, std::min(y + rows, area.bottom)}, context->strip);
        const LONG width = part.right - part.left, height = part.bottom - part.top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // rows top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, part.left, part.top, width, height, 0, 0, 0, height, context->strip.data(), &info,
                          DIB_RGB_COLORS);
      }
    }
    new_size =
        new_size && !(area.left == 0 && area.top == 0 && area.right == shown.width() && area.bottom == shown.height());
  }
  EndPaint(window, &ps);
  // A frame of a new size replaces the whole picture, also outside a
  // smaller update region.
  if (new_size) InvalidateRect(window, nullptr, FALSE);
}

void set_window_placement(HWND window, const WindowPlacement& p) {
  // SWP_FRAMECHANGED makes the system recompute the (empty) frame at once;
  // without it Wine keeps the caption area of the popup's creation.
  SetWindowPos(window, nullptr, p.x, p.y, p.width, p.height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// A wake-up for the next frame: the tick and the paint the pacer finds due,
// then the timer set for the frame after.
void frame_wake(HWND window, WindowContext& context) {
  const Clock::TimePoint now = std::chrono::steady_clock::now();
  const FrameWork work = context.pacer.wake(now, IsIconic(window) != FALSE);
  if (work.tick) {
    on_tick(context.state, now);
    context.report_changes();
  }
  // Only what changed is copied to the window, and nothing when the frame
  // is the same.
  if (work.paint) {
    if (DeviceRect changed = paint_frame(window, context); changed.right > changed.left) {
      RECT rect{changed.left, changed.top, changed.right, changed.bottom};
      InvalidateRect(window, &rect, FALSE);
    }
  }
  context.timer.arm(context.pacer.wait(std::chrono::steady_clock::now()));
}

LRESULT on_nccreate(HWND window, WPARAM wparam, LPARAM lparam) {
  auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
  auto* handoff = static_cast<WindowHandoff<WindowContext>*>(create->lpCreateParams);
  WindowContext* created = handoff != nullptr ? handoff->take() : nullptr;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
  if (created != nullptr) created->attach(window);
  return DefWindowProcW(window, WM_NCCREATE, wparam, lparam);
}

LRESULT on_ncdestroy(HWND window, WindowContext* context, WPARAM wparam, LPARAM lparam) {
  if (context != nullptr) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    delete context;
  }
  return DefWindowProcW(window, WM_NCDESTROY, wparam, lparam);
}

LRESULT on_nchittest(HWND window, WindowContext* context, LPARAM lparam) {
  if (context == nullptr) return HTCAPTION;
  POINT point = point_of(lparam);
  ScreenToClient(window, &point);
  return drags_window(element_at(window, *context, point)) ? HTCAPTION : HTCLIENT;
}

LRESULT on_setcursor(HWND window, WindowContext* context, WPARAM wparam, LPARAM lparam) {
  if (LOWORD(lparam) != HTCLIENT) return DefWindowProcW(window, WM_SETCURSOR, wparam, lparam);
  const bool hand = context != nullptr && shows_hand_cursor(context->state.hover.kind);
  SetCursor(LoadCursorW(nullptr, hand ? IDC_HAND : IDC_ARROW));
  return TRUE;
}

LRESULT on_key(HWND window, WindowContext& context, WPARAM key, bool down) {
  const KeyModifiers modifiers{GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0};
  const KeyAction action = key_action(static_cast<uint32_t>(key), modifiers, down);
  if (action == KeyAction::Copy) {
    if (const std::string text = copy_text(context.state); !text.empty()) copy_to_clipboard(window, text);
  } else {
    apply_key(context.state, action, context.effects, context.runner);
  }
  context.report_changes();
  return 0;
}

LRESULT on_mouse_move(HWND window, WindowContext& context, LPARAM lparam) {
  context.state.hover = element_at(window, context, point_of(lparam));
  if (!context.state.mouse_tracked) {
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, window, 0};
    context.state.mouse_tracked = TrackMouseEvent(&track) != FALSE;
  }
  return 0;
}

LRESULT on_left_button(HWND window, WindowContext& context, LPARAM lparam, bool down) {
  const ElementRef element = element_at(window, context, point_of(lparam));
  if (down) {
    on_left_button_down(context.state, element);
    SetCapture(window);
  } else {
    ReleaseCapture();
    on_left_button_up(context.state, element, context.effects, context.runner);
  }
  context.report_changes();
  return 0;
}

LRESULT on_dpi_changed(HWND window, WindowContext& context, WPARAM wparam, LPARAM lparam) {
  const RECT* r = reinterpret_cast<const RECT*>(lparam);
  const UINT dpi = LOWORD(wparam);
  set_window_placement(window,
                       placement_for_dpi_change(DeviceRect{r->left, r->top, r->right, r->bottom}, dpi_scale(dpi)));
  context.icons.apply(window, GetModuleHandleW(nullptr), dpi);
  InvalidateRect(window, nullptr, FALSE);
  return 0;
}

// High contrast switched on or off, or its colours changed: the next frame
// paints with what the system has now. The default handling still runs:
// skipping it left the window in its inactive look after Alt+F4 under Wine.
LRESULT on_colours_changed(HWND window, WindowContext& context, UINT message, WPARAM wparam, LPARAM lparam) {
  context.state.high_contrast = query_high_contrast();
  InvalidateRect(window, nullptr, FALSE);
  return DefWindowProcW(window, message, wparam, lparam);
}

// The messages that need the window's context, once it has one.
LRESULT handle_with_context(HWND window, WindowContext& context, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      if (!close_allowed(context.state)) return 0;  // no cancel while working
      DestroyWindow(window);
      return 0;
    case WM_QUERYENDSESSION:
      // While the work runs, sign-out and restart wait, with the reason
      // the window gave Windows.
      if (context.shutdown_reason) return FALSE;
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_ACTIVATE:
      context.dwm.extend_frame(window, MARGINS{1, 1, 1, 1});
      context.state.active = LOWORD(wparam) != WA_INACTIVE;
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_KEYDOWN:
    case WM_KEYUP: return on_key(window, context, wparam, message == WM_KEYDOWN);
    case WM_SETFOCUS: context.report_focus(); return 0;
    case WM_GETOBJECT: return context.accessible.answer(window, context, wparam, lparam);
    case WM_TIMER: frame_wake(window, context); return 0;
    // The system's own loops for moving the window and for its menu do
    // not run ours: the frames come through WM_TIMER meanwhile.
    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP: context.timer.enter_modal(); return DefWindowProcW(window, message, wparam, lparam);
    case WM_EXITSIZEMOVE:
    case WM_EXITMENULOOP: context.timer.leave_modal(); return DefWindowProcW(window, message, wparam, lparam);
    case WM_MOUSEMOVE: return on_mouse_move(window, context, lparam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: return on_left_button(window, context, lparam, message == WM_LBUTTONDOWN);
    case WM_MOUSELEAVE:
      context.state.hover = ElementRef::nothing();
      context.state.mouse_tracked = false;
      return 0;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE: return on_colours_changed(window, context, message, wparam, lparam);
    case WM_DPICHANGED: return on_dpi_changed(window, context, wparam, lparam);
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

// Input and timer messages that arrive without a context (before
// WM_NCCREATE or after WM_NCDESTROY) are dropped.
bool dropped_without_context(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSELEAVE: return true;
    default: return false;
  }
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowContext* context = context_of(window);
  switch (message) {
    case WM_NCCREATE: return on_nccreate(window, wparam, lparam);
    case WM_NCDESTROY: return on_ncdestroy(window, context, wparam, lparam);
    case WM_NCCALCSIZE:
      // The whole window rectangle is client area: no frame, no caption.
      if (wparam != 0) return 0;
      return DefWindowProcW(window, message, wparam, lparam);
    case WM_NCHITTEST: return on_nchittest(window, context, lparam);
    case WM_ERASEBKGND: return 1;  // the paint covers every pixel
    case WM_SETCURSOR: return on_setcursor(window, context, wparam, lparam);
    case WM_PAINT: paint(window, context); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default:
      if (context != nullptr) return handle_with_context(window, *context, message, wparam, lparam);
      if (dropped_without_context(message)) return 0;
      if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
      }
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int run_setup_window(const InteractiveStart& start, Platform& platform, std::span<const uint8_t> packed_app) {
  // The window thread is a single-threaded COM apartment: screen readers in
  // other processes call the window's IAccessible through it, and those
  // calls arrive through the message loop.
  ComApartment apartment;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  std::wstring class_name = to_wide(kWindowClassName);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(WNDCLASSEXW);
  window_class.lpfnWndProc = window_procedure;
  window_class.hInstance = instance;
  window_class.hIcon = icon;
  window_class.hIconSm = icon;
  window_class.hCursor = arrow;
  window_class.lpszClassName = class_name.c_str();
  RegisterClassExW(&window_class);  // a failure shows up at creation

  FrameTimer timer;
  auto owned = std::make_unique<WindowContext>(
      make_initial_state(start, load_fonts(windows_font_folder()), std::chrono::steady_clock::now()), platform,
      packed_app, timer);
  owned->state.high_contrast = query_high_contrast();
  WindowHandoff<WindowContext> context(std::move(owned));
  std::wstring title = to_wide(start.title);
  HWND window = CreateWindowExW(kExStyle, class_name.c_str(), title.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 640,
                                420, nullptr, nullptr, instance, &context);
  // The context is the window's from WM_NCCREATE on and freed in
  // WM_NCDESTROY, also when the creation fails after that message.
  if (window == nullptr) return 1;

  if (WindowContext* created = context_of(window)) {
    created->dwm.set_attribute(window, kWindowCornerPreference, kCornerRound);
    if (!created->dwm.set_attribute(window, kImmersiveDarkMode, start.dark ? 1 : 0)) {
      created->dwm.set_attribute(window, kImmersiveDarkModeBefore2004, start.dark ? 1 : 0);
    }
    created->icons.apply(window, instance, GetDpiForWindow(window));
  }

  DeviceRect work_area = kFallbackWorkArea;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(MONITORINFO);
  if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor)) {
    work_area = DeviceRect{monitor.rcWork.left, monitor.rcWork.top, monitor.rcWork.right, monitor.rcWork.bottom};
  }
  set_window_placement(window, centred_placement(work_area, window_scale(window)));

  ShowWindow(window, SW_SHOW);
  SetForegroundWindow(window);
  timer.attach(window);
  timer.arm(FramePacer::kInterval);
  timer.run_messages([window] {
    if (WindowContext* context = context_of(window)) frame_wake(window, *context);
  });
  return 0;
}

}  // namespace vestrana
