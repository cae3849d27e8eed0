// The window's IAccessible: a thin COM shell over the accessible tree. Every
// call rebuilds the tree from the current state (it is small), so what a
// screen reader reads is always what the next frame paints.
#include "ui/accessible_win32.h"

#include <oleacc.h>

#include <atomic>
#include <string>

#include "system/system_library_win32.h"
#include "system/text_win32.h"
#include "ui/window_geometry.h"

namespace vestrana {

// oleacc, loaded from the system folder: it is not one of Windows' known
// DLLs, so an import of it would load an "oleacc.dll" that sits beside the
// setup in Downloads. Usable only with both functions the object needs.
class AccessibleObjectHolder::Library {
  SystemLibrary library_{L"oleacc.dll"};  // first: the functions below come from it

 public:
  using FromObject = LRESULT WINAPI(REFIID, WPARAM, LPUNKNOWN);
  using FromWindow = HRESULT WINAPI(HWND, DWORD, REFIID, void**);

  FromObject* const from_object = library_.function<FromObject>("LresultFromObject");
  FromWindow* const from_window = library_.function<FromWindow>("AccessibleObjectFromWindow");

  bool usable() const { return from_object != nullptr && from_window != nullptr; }
};

class AccessibleObjectHolder::Object final : public IAccessible {
 public:
  Object(HWND window, AccessibleWindow& owner, Library::FromWindow* from_window)
      : window_(window), owner_(&owner), from_window_(from_window) {}

  // The window is going away: from now on nothing may reach it.
  void disconnect() {
    owner_ = nullptr;
    window_ = nullptr;
  }

  // --- IUnknown ---
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // --- IDispatch: clients use the IAccessible methods directly ---
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // --- IAccessible ---
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (owner_ == nullptr) return CO_E_OBJNOTCONNECTED;
    return from_window_(window_, static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch, reinterpret_cast<void**>(parent));
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (owner_ == nullptr) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<long>(tree().size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    // The children are simple elements, answered by this object.
    return S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return text_of(child, name, [this](const AccessibleElement* e) {
      if (e == nullptr) return screen_announcement(owner_->accessible_state());
      return e->name;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return text_of(child, value, [](const AccessibleElement* e) { return e == nullptr ? std::string() : e->value; });
  }

  // The alert's whole error text and the focused control's screen message;
  // nothing here has help text or a shortcut key of its own.
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    return text_of(child, text,
                   [](const AccessibleElement* e) { return e == nullptr ? std::string() : e->description; });
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    role->vt = VT_I4;
    role->lVal = found.element == nullptr ? ROLE_SYSTEM_CLIENT : role_of(found.element->role);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    long bits = 0;
    if (found.element == nullptr) {
      bits = STATE_SYSTEM_FOCUSABLE;
      if (GetFocus() == window_ && owner_->accessible_state().focus.is_nothing()) bits |= STATE_SYSTEM_FOCUSED;
    } else {
      const AccessibleElement& e = *found.element;
      if (e.role == AccessibleRole::StaticText || e.role == AccessibleRole::Alert ||
          e.role == AccessibleRole::ProgressBar) {
        bits |= STATE_SYSTEM_READONLY;
      }
      if (e.checked) bits |= STATE_SYSTEM_CHECKED;
      if (e.unavailable) bits |= STATE_SYSTEM_UNAVAILABLE;
      if (e.focusable) bits |= STATE_SYSTEM_FOCUSABLE;
      if (e.focused) bits |= STATE_SYSTEM_FOCUSED;
      if (!e.element.is_nothing() && owner_->accessible_state().pressed == e.element) bits |= STATE_SYSTEM_PRESSED;
    }
    state->vt = VT_I4;
    state->lVal = bits;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return no_text(child, help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long* topic) override {
    if (file != nullptr) *file = nullptr;
    if (topic != nullptr) *topic = 0;
    return owner_ == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return no_text(child, shortcut);
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    VariantInit(focus);
    if (owner_ == nullptr) return CO_E_OBJNOTCONNECTED;
    if (GetFocus() != window_) return S_FALSE;  // VT_EMPTY: the focus is elsewhere
    focus->vt = VT_I4;
    focus->lVal = static_cast<long>(child_id_of(tree(), owner_->accessible_state().focus));  // 0 is the window
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    VariantInit(selection);
    return owner_ == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return text_of(child, action,
                   [](const AccessibleElement* e) { return e == nullptr ? std::string() : e->default_action; });
  }

  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    if (flags != SELFLAG_TAKEFOCUS) return E_INVALIDARG;  // nothing here is selectable
    if (found.element == nullptr) return S_OK;  // the window keeps what focus it has
    return owner_->accessible_focus(found.element->element) ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    const float scale = dpi_scale(GetDpiForWindow(window_));
    const LayoutRect r = found.element != nullptr ? found.element->rect : LayoutRect{0, 0, kCanvasWidth, kCanvasHeight};
    const int32_t x0 = device_length(r.x, scale);
    const int32_t y0 = device_length(r.y, scale);
    *left = origin.x + x0;
    *top = origin.y + y0;
    *width = device_length(r.right(), scale) - x0;
    *height = device_length(r.bottom(), scale) - y0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    VariantInit(end);
    Lookup found = lookup(start);
    if (found.result != S_OK) return found.result;
    const long count = static_cast<long>(found.tree.size());
    long to = 0;
    if (found.element == nullptr) {
      if (direction == NAVDIR_FIRSTCHILD) to = 1;
      if (direction == NAVDIR_LASTCHILD) to = count;
    } else {
      const long from = start.lVal;
      if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) to = from + 1;
      if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) to = from - 1;
    }
    if (to < 1 || to > count) return S_FALSE;
    end->vt = VT_I4;
    end->lVal = to;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* hit) override {
    if (hit == nullptr) return E_POINTER;
    VariantInit(hit);
    if (owner_ == nullptr) return CO_E_OBJNOTCONNECTED;
    POINT point{x, y};
    ScreenToClient(window_, &point);
    RECT client{};
    GetClientRect(window_, &client);
    if (!PtInRect(&client, point)) return S_FALSE;
    const float scale = dpi_scale(GetDpiForWindow(window_));
    hit->vt = VT_I4;
    hit->lVal =
        static_cast<long>(child_at(tree(), static_cast<float>(point.x) / scale, static_cast<float>(point.y) / scale));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    if (found.element == nullptr || found.element->element.is_nothing() || found.element->unavailable) {
      return DISP_E_MEMBERNOTFOUND;
    }
    owner_->accessible_action(found.element->element);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  std::vector<AccessibleElement> tree() {
    UiState& state = owner_->accessible_state();
    return accessible_tree(state, state.fonts);
  }

  // The element a child ID names (null for the window itself) with the tree
  // it lives in; result is not S_OK when the call must fail.
  struct Lookup {
    HRESULT result = S_OK;
    std::vector<AccessibleElement> tree;
    const AccessibleElement* element = nullptr;
  };
  Lookup lookup(const VARIANT& child) {
    Lookup found;
    if (owner_ == nullptr) {
      found.result = CO_E_OBJNOTCONNECTED;
      return found;
    }
    if (child.vt != VT_I4) {
      found.result = E_INVALIDARG;
      return found;
    }
    found.tree = tree();
    if (child.lVal == CHILDID_SELF) return found;
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > found.tree.size()) {
      found.result = E_INVALIDARG;
      return found;
    }
    found.element = &found.tree[static_cast<size_t>(child.lVal) - 1];
    return found;
  }

  // A text property: S_FALSE with no string when it is empty.
  template <typename Get>
  HRESULT text_of(const VARIANT& child, BSTR* out, Get get) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    Lookup found = lookup(child);
    if (found.result != S_OK) return found.result;
    const std::string text = get(found.element);
    if (text.empty()) return S_FALSE;
    const std::wstring wide = to_wide(text);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT no_text(const VARIANT& child, BSTR* out) {
    return text_of(child, out, [](const AccessibleElement*) { return std::string(); });
  }

  static long role_of(AccessibleRole role) {
    switch (role) {
      case AccessibleRole::StaticText: return ROLE_SYSTEM_STATICTEXT;
      case AccessibleRole::Alert: return ROLE_SYSTEM_ALERT;
      case AccessibleRole::CheckButton: return ROLE_SYSTEM_CHECKBUTTON;
      case AccessibleRole::ProgressBar: return ROLE_SYSTEM_PROGRESSBAR;
      case AccessibleRole::PushButton: return ROLE_SYSTEM_PUSHBUTTON;
    }
    return ROLE_SYSTEM_STATICTEXT;
  }

  std::atomic<ULONG> references_{1};
  HWND window_;
  AccessibleWindow* owner_;
  Library::FromWindow* from_window_;
};

AccessibleObjectHolder::AccessibleObjectHolder() = default;

AccessibleObjectHolder::~AccessibleObjectHolder() {
  if (object_ == nullptr) return;
  object_->disconnect();
  object_->Release();
}

LRESULT AccessibleObjectHolder::answer(HWND window, AccessibleWindow& owner, WPARAM wparam, LPARAM lparam) {
  if (static_cast<LONG>(lparam) != static_cast<LONG>(OBJID_CLIENT)) {
    return DefWindowProcW(window, WM_GETOBJECT, wparam, lparam);
  }
  if (library_ == nullptr) library_ = std::make_unique<Library>();
  if (!library_->usable()) return DefWindowProcW(window, WM_GETOBJECT, wparam, lparam);
  if (object_ == nullptr) object_ = new Object(window, owner, library_->from_window);
  return library_->from_object(IID_IAccessible, wparam, object_);
}

void notify_accessible_events(HWND window, const std::vector<AccessibleEvent>& events) {
  for (const AccessibleEvent& e : events) {
    DWORD kind = EVENT_OBJECT_FOCUS;
    switch (e.kind) {
      case AccessibleEvent::Focus: kind = EVENT_OBJECT_FOCUS; break;
      case AccessibleEvent::StateChange: kind = EVENT_OBJECT_STATECHANGE; break;
      case AccessibleEvent::ValueChange: kind = EVENT_OBJECT_VALUECHANGE; break;
      case AccessibleEvent::NameChange: kind = EVENT_OBJECT_NAMECHANGE; break;
      case AccessibleEvent::Alert: kind = EVENT_SYSTEM_ALERT; break;
    }
    NotifyWinEvent(kind, window, OBJID_CLIENT, static_cast<LONG>(e.child));
  }
}

}  // namespace vestrana
