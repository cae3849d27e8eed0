#pragma once
// Owns one COM interface reference: released when the owner goes, or when
// the owner is handed to a call as an out-parameter again.

namespace vestrana {

template <class T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() { reset(); }
  void reset() {
    if (ptr_ != nullptr) ptr_->Release();
    ptr_ = nullptr;
  }
  T* get() const { return ptr_; }
  T* operator->() const { return ptr_; }
  // For an out-parameter: lets go of the current reference first.
  T** out() {
    reset();
    return &ptr_;
  }
  // The same, for the calls that take any interface as void**.
  void** put() { return reinterpret_cast<void**>(out()); }

 private:
  T* ptr_ = nullptr;
};

}  // namespace vestrana
