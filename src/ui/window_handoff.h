#pragma once
// Handing a window's state from its creator to the window. The creator owns
// the object until the window takes it in WM_NCCREATE; from then on the
// window frees it in WM_NCDESTROY. A creation that fails after WM_NCCREATE
// has already sent WM_NCDESTROY, so the creator must then not free it again;
// one that fails before has never given it away, so the creator must.

#include <memory>

namespace vestrana {

template <class T>
class WindowHandoff {
 public:
  explicit WindowHandoff(std::unique_ptr<T> object) : object_(std::move(object)) {}
  WindowHandoff(const WindowHandoff&) = delete;
  WindowHandoff& operator=(const WindowHandoff&) = delete;

  // The window's WM_NCCREATE: from now on the window owns the object.
  T* take() { return object_.release(); }
  bool taken() const { return object_ == nullptr; }

 private:
  std::unique_ptr<T> object_;
};

}  // namespace vestrana
