#pragma once
// Joins the calling thread to a single-threaded COM apartment for the life
// of the object, and leaves again only if it joined (a thread that is
// already a member, or in another apartment, is left as it is).

#include "system/windows_headers.h"
#include <objbase.h>

namespace vestrana {

class ComApartment {
 public:
  ComApartment() : joined_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (joined_) CoUninitialize();
  }

 private:
  bool joined_;
};

}  // namespace vestrana
