#pragma once
// The window's IAccessible (MSAA) object: screen readers reach it through
// WM_GETOBJECT and read the accessible tree of the current screen from it.
// Only the Win32 layer includes this header.

#include "system/windows_headers.h"

#include <memory>
#include <vector>

#include "ui/accessible_tree.h"
#include "ui/ui_state.h"

struct IAccessible;

namespace vestrana {

// What the object needs from its window, on the window thread.
class AccessibleWindow {
 public:
  virtual ~AccessibleWindow() = default;
  virtual UiState& accessible_state() = 0;
  // A screen reader's default action: exactly a click on the element.
  virtual void accessible_action(ElementRef element) = 0;
  // A screen reader moves the focus; false when the element cannot take it.
  virtual bool accessible_focus(ElementRef element) = 0;
};

// Owns the window's object for as long as the window lives. Clients may
// keep their reference longer: once the window is gone (the holder is
// destroyed), every call answers CO_E_OBJNOTCONNECTED and touches nothing
// of the window.
class AccessibleObjectHolder {
 public:
  AccessibleObjectHolder();
  AccessibleObjectHolder(const AccessibleObjectHolder&) = delete;
  AccessibleObjectHolder& operator=(const AccessibleObjectHolder&) = delete;
  ~AccessibleObjectHolder();

  // The answer to WM_GETOBJECT: the object for OBJID_CLIENT (created on the
  // first request), the default handling for anything else, and also for
  // OBJID_CLIENT when the system's accessibility library cannot be loaded.
  LRESULT answer(HWND window, AccessibleWindow& owner, WPARAM wparam, LPARAM lparam);

 private:
  class Library;
  class Object;
  // The system's accessibility library: loaded on the first request and
  // kept while the window lives.
  std::unique_ptr<Library> library_;
  Object* object_ = nullptr;
};

// Tells the system (and through it every screen reader) what changed.
void notify_accessible_events(HWND window, const std::vector<AccessibleEvent>& events);

}  // namespace vestrana
