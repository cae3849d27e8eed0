// Test program: a small screen reader. It finds the setup's window (class
// "VestranaSetup") and talks to it only through MSAA, from its own process.
//
//   msaa-client tree          the window's name, then one line per child:
//                             id TAB role TAB states TAB name TAB value TAB
//                             default action TAB x,y,w,h (client pixels) TAB
//                             description
//   msaa-client do ID         accDoDefaultAction on child ID; prints
//                             "do ID HRESULT" when it fails
//   msaa-client focus ID      accSelect(SELFLAG_TAKEFOCUS) on child ID
//   msaa-client nav           "nav", the child IDs from the first child onwards
//                             (NAVDIR_NEXT) and from the last backwards
//                             (NAVDIR_PREVIOUS), tab-separated
//   msaa-client hit X Y       accHitTest at the client pixel: the child ID
//   msaa-client events        started before the setup: hooks the WinEvents
//                             of every process out of context, as a screen
//                             reader does, and prints the focus, state,
//                             value, name and alert events of windows of the
//                             setup's class: kind TAB child TAB role TAB name
//                             TAB the value (value events), the states
//                             (state events) or the description, as read
//                             right then; ends once a setup window came and
//                             went
//   msaa-client after-close ID  does the default action of child ID (which
//                             closes the window) and keeps calling the object
//                             through the close; prints how many calls
//                             answered and the HRESULT of the first that did not
//
// Several commands may follow each other, separated by "--"; they run in one
// process, so quickly one after the other.
//
// Output is UTF-8; the exit code is 1 when the window or its object cannot
// be found or a call fails.
#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

HWND setup_window() {
  for (int i = 0; i < 100; ++i) {
    if (HWND w = FindWindowW(L"VestranaSetup", nullptr)) return w;
    Sleep(100);
  }
  return nullptr;
}

std::string utf8(const wchar_t* text, int length = -1) {
  if (text == nullptr) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), n, nullptr, nullptr);
  if (length < 0 && !out.empty()) out.pop_back();  // the terminating NUL
  return out;
}

void put(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

VARIANT child(long id) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = id;
  return v;
}

template <typename Get>
std::string text(IAccessible* acc, long id, Get get) {
  BSTR value = nullptr;
  if (FAILED((acc->*get)(child(id), &value)) || value == nullptr) return {};
  std::string out = utf8(value, static_cast<int>(SysStringLen(value)));
  SysFreeString(value);
  return out;
}

const char* role_name(long role) {
  switch (role) {
    case ROLE_SYSTEM_CLIENT: return "client";
    case ROLE_SYSTEM_STATICTEXT: return "text";
    case ROLE_SYSTEM_ALERT: return "alert";
    case ROLE_SYSTEM_CHECKBUTTON: return "checkbox";
    case ROLE_SYSTEM_PROGRESSBAR: return "progressbar";
    case ROLE_SYSTEM_PUSHBUTTON: return "button";
    default: return "other";
  }
}

std::string states(long bits) {
  std::string out;
  auto add = [&](long bit, const char* name) {
    if ((bits & bit) == 0) return;
    if (!out.empty()) out += ',';
    out += name;
  };
  add(STATE_SYSTEM_CHECKED, "checked");
  add(STATE_SYSTEM_UNAVAILABLE, "unavailable");
  add(STATE_SYSTEM_FOCUSABLE, "focusable");
  add(STATE_SYSTEM_FOCUSED, "focused");
  add(STATE_SYSTEM_READONLY, "readonly");
  add(STATE_SYSTEM_PRESSED, "pressed");
  return out.empty() ? "-" : out;
}

IAccessible* client_object(HWND window) {
  IAccessible* acc = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&acc)))) {
    return nullptr;
  }
  return acc;
}

int print_tree(HWND window, IAccessible* acc) {
  long count = 0;
  if (FAILED(acc->get_accChildCount(&count))) return 1;
  put("name\t" + text(acc, CHILDID_SELF, &IAccessible::get_accName));
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  for (long id = 1; id <= count; ++id) {
    VARIANT role, state;
    acc->get_accRole(child(id), &role);
    acc->get_accState(child(id), &state);
    long x = 0, y = 0, w = 0, h = 0;
    acc->accLocation(&x, &y, &w, &h, child(id));
    char where[64];
    std::snprintf(where, sizeof where, "%ld,%ld,%ld,%ld", x - origin.x, y - origin.y, w, h);
    put(std::to_string(id) + "\t" + role_name(role.lVal) + "\t" + states(state.lVal) + "\t" +
        text(acc, id, &IAccessible::get_accName) + "\t" + text(acc, id, &IAccessible::get_accValue) + "\t" +
        text(acc, id, &IAccessible::get_accDefaultAction) + "\t" + where + "\t" +
        text(acc, id, &IAccessible::get_accDescription));
  }
  return 0;
}

// The setup window the hook has seen events from; null before the first.
HWND g_window = nullptr;

bool is_setup_window(HWND window) {
  wchar_t name[32] = {};
  return window != nullptr && GetClassNameW(window, name, 32) > 0 && std::wstring(name) == L"VestranaSetup";
}

const char* event_name(DWORD event) {
  switch (event) {
    case EVENT_OBJECT_FOCUS: return "focus";
    case EVENT_OBJECT_STATECHANGE: return "state";
    case EVENT_OBJECT_VALUECHANGE: return "value";
    case EVENT_OBJECT_NAMECHANGE: return "name";
    case EVENT_SYSTEM_ALERT: return "alert";
    default: return nullptr;
  }
}

// One line per event of a setup window's client object, read right then.
void CALLBACK on_event(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG id, DWORD, DWORD) {
  const char* name = event_name(event);
  if (name == nullptr || object != OBJID_CLIENT || !is_setup_window(window)) return;
  g_window = window;
  std::string detail;
  IAccessible* acc = nullptr;
  VARIANT found;
  VariantInit(&found);
  if (SUCCEEDED(AccessibleObjectFromEvent(window, object, id, &acc, &found)) && acc != nullptr) {
    long at = found.vt == VT_I4 ? found.lVal : CHILDID_SELF;
    VARIANT role;
    VariantInit(&role);
    acc->get_accRole(child(at), &role);
    detail = std::string(role_name(role.vt == VT_I4 ? role.lVal : 0)) + "\t" +
             text(acc, at, &IAccessible::get_accName) + "\t";
    if (event == EVENT_OBJECT_VALUECHANGE) {
      detail += text(acc, at, &IAccessible::get_accValue);
    } else if (event == EVENT_OBJECT_STATECHANGE) {
      VARIANT state;
      acc->get_accState(child(at), &state);
      detail += states(state.lVal);
    } else {
      detail += text(acc, at, &IAccessible::get_accDescription);
    }
    acc->Release();
  }
  put(std::string(name) + "\t" + std::to_string(id) + "\t" + detail);
}

int listen() {
  // Every process and thread, out of context: the events come as messages
  // to this thread, which must pump them.
  HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_OBJECT_VALUECHANGE, nullptr, on_event, 0, 0, WINEVENT_OUTOFCONTEXT);
  if (hook == nullptr) return 1;
  put("listening");
  while (g_window == nullptr || IsWindow(g_window)) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  UnhookWinEvent(hook);
  return 0;
}

std::string hresult(HRESULT hr) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
  return buffer;
}

int run(HWND window, IAccessible* acc, int argc, wchar_t** argv) {
  const std::wstring command = argv[0];
  auto number = [&](int i) { return i < argc ? std::wcstol(argv[i], nullptr, 10) : 0; };
  if (command == L"tree") return print_tree(window, acc);
  if (command == L"do" && argc > 1) {
    const HRESULT hr = acc->accDoDefaultAction(child(number(1)));
    if (FAILED(hr)) put("do\t" + std::to_string(number(1)) + "\t" + hresult(hr));
    return FAILED(hr) ? 1 : 0;
  }
  if (command == L"focus" && argc > 1) return acc->accSelect(SELFLAG_TAKEFOCUS, child(number(1))) == S_OK ? 0 : 1;
  if (command == L"nav") {
    auto walk = [acc](long first_dir, long step_dir) {
      std::string ids;
      VARIANT at;
      if (acc->accNavigate(first_dir, child(CHILDID_SELF), &at) != S_OK) return ids;
      for (int guard = 0; guard < 100 && at.vt == VT_I4; ++guard) {
        ids += (ids.empty() ? "" : " ") + std::to_string(at.lVal);
        VARIANT next;
        if (acc->accNavigate(step_dir, at, &next) != S_OK) break;
        at = next;
      }
      return ids;
    };
    put("nav\t" + walk(NAVDIR_FIRSTCHILD, NAVDIR_NEXT) + "\t" + walk(NAVDIR_LASTCHILD, NAVDIR_PREVIOUS));
    return 0;
  }
  if (command == L"hit" && argc > 2) {
    POINT p{number(1), number(2)};
    ClientToScreen(window, &p);
    VARIANT hit;
    VariantInit(&hit);
    if (acc->accHitTest(p.x, p.y, &hit) != S_OK || hit.vt != VT_I4) return 1;
    put(std::to_string(hit.lVal));
    return 0;
  }
  if (command == L"after-close" && argc > 1) {
    const int rc = FAILED(acc->accDoDefaultAction(child(number(1)))) ? 1 : 0;
    int answered = 0;
    HRESULT hr = S_OK;
    for (int i = 0; i < 2000 && SUCCEEDED(hr); ++i) {
      long count = 0;
      BSTR name = nullptr;
      hr = acc->get_accChildCount(&count);
      if (SUCCEEDED(hr)) hr = acc->get_accName(child(CHILDID_SELF), &name);
      if (name != nullptr) SysFreeString(name);
      if (SUCCEEDED(hr)) ++answered;
    }
    put(std::to_string(answered) + "\t" + hresult(hr));
    return rc;
  }
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (std::wstring(argv[1]) == L"events") return listen();
  HWND window = setup_window();
  if (window == nullptr) return 1;
  IAccessible* acc = client_object(window);
  if (acc == nullptr) return 1;
  int rc = 0;
  for (int first = 1; first < argc;) {
    int end = first;
    while (end < argc && std::wstring(argv[end]) != L"--") ++end;
    const int result = run(window, acc, end - first, argv + first);
    if (rc == 0) rc = result;
    first = end + 1;
  }
  acc->Release();
  return rc;
}
