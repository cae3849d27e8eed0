#pragma once
// A library that Windows does not always load from its own folder (it is not
// one of the known DLLs), loaded at run time from the system folder only and
// never from the program's folder, the current folder or the PATH: a file of
// that name that a web page dropped into Downloads beside the setup is never
// loaded. A library that is missing there, or lacks a function, gives null
// pointers, so the step that needs it fails cleanly instead of the program
// not starting at all.

#include "system/windows_headers.h"

namespace vestrana {

class SystemLibrary {
 public:
  explicit SystemLibrary(const wchar_t* name) : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  SystemLibrary(const SystemLibrary&) = delete;
  SystemLibrary& operator=(const SystemLibrary&) = delete;
  ~SystemLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
  }

  bool loaded() const { return module_ != nullptr; }

  // The exported function `name` as a pointer of type F (a function type),
  // or null.
  template <typename F>
  F* function(const char* name) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }

 private:
  HMODULE module_;
};

}  // namespace vestrana
