// Stand-in for the vestrana application. Each start appends one line to
// %LOCALAPPDATA%\com.vestrana.desktop\starts.log (UTF-8):
//
//   <UTC time as 2024-05-01T12:34:56.789Z> TAB <full path of this program> TAB <arguments> LF
//
// where the arguments are the raw command line after the program name, as
// the starting process wrote it. Then it shows a small window titled
// "vestrana" (kept hidden with --background, as the autostart entry starts
// the app) and runs until the window is closed or the process is ended.
// With --browser it also starts a browser process and its child, see
// start_browser_processes.

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "command_tail.h"

namespace {

constexpr wchar_t kDataFolder[] = L"com.vestrana.desktop";
constexpr wchar_t kLogName[] = L"starts.log";
constexpr wchar_t kClassName[] = L"VestranaStandIn";
constexpr wchar_t kTitle[] = L"vestrana";

std::string to_utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring own_path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool has_argument(const wchar_t* wanted) {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return false;
  bool found = false;
  for (int i = 1; i < count && !found; ++i) found = std::wcscmp(argv[i], wanted) == 0;
  LocalFree(argv);
  return found;
}

std::wstring local_app_data() {
  std::wstring value(32768, L'\0');
  const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", value.data(), static_cast<DWORD>(value.size()));
  if (n > 0 && n < value.size()) {
    value.resize(n);
    return value;
  }
  PWSTR known = nullptr;
  std::wstring out;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known))) out = known;
  CoTaskMemFree(known);
  return out;
}

void record_start() {
  const std::wstring base = local_app_data();
  if (base.empty()) return;
  const std::wstring folder = base + L"\\" + kDataFolder;
  CreateDirectoryW(folder.c_str(), nullptr);  // fails harmlessly when it exists

  SYSTEMTIME now;
  GetSystemTime(&now);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond, now.wMilliseconds);
  const std::string line = std::string(stamp) + "\t" + to_utf8(own_path()) + "\t" + to_utf8(command_tail()) + "\n";

  // Append-only access makes each write land at the end even when two
  // copies start at the same moment.
  HANDLE file = CreateFileW((folder + L"\\" + kLogName).c_str(), FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
}

// With "--browser <program>" the app starts <program> --renderer <program>,
// which starts <program> once more: a browser process with a child of its
// own, as the WebView2 runtime starts them under the app. Both stay hidden.
void start_browser_processes() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return;
  for (int i = 1; i + 1 < count; ++i) {
    const bool browser = std::wcscmp(argv[i], L"--browser") == 0;
    if (!browser && std::wcscmp(argv[i], L"--renderer") != 0) continue;
    const std::wstring program = argv[i + 1];
    std::wstring line = L"\"" + program + L"\" --background";
    if (browser) line += L" --renderer \"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      CloseHandle(info.hThread);
      CloseHandle(info.hProcess);
    }
    break;
  }
  LocalFree(argv);
}

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT area;
      GetClientRect(window, &area);
      DrawTextW(dc, L"vestrana (stand-in)", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  record_start();
  start_browser_processes();

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = window_proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);
  HWND window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 360, 200,
                                nullptr, nullptr, instance, nullptr);
  // Without a window (no desktop to put it on) the loop below still waits,
  // so the process stays until it is ended, as the app would.
  if (window != nullptr && !has_argument(L"--background")) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
