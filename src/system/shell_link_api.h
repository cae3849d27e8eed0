#pragma once
// The shell link object, one method per COM call, so that the order of the
// steps and their error texts stay portable. Every method returns the
// HRESULT of its call (negative = failure).

#include <cstdint>
#include <string>

namespace vestrana {

class ShellLinkApi {
 public:
  virtual ~ShellLinkApi() = default;
  // CoInitializeEx(COINIT_APARTMENTTHREADED); the result is ignored by callers.
  virtual int32_t initialize_com() = 0;
  // CoCreateInstance(CLSID_ShellLink, IID_IShellLinkW); a success without an
  // object must be reported as a failure HRESULT (E_POINTER).
  virtual int32_t create_link() = 0;
  virtual int32_t set_path(const std::string& target) = 0;
  virtual int32_t set_working_directory(const std::string& folder) = 0;
  virtual int32_t set_icon_location(const std::string& file, int index) = 0;
  virtual int32_t set_description(const std::string& text) = 0;
  virtual int32_t query_property_store() = 0;
  // SHStrDupW of the identity into a VT_LPWSTR property value.
  virtual int32_t prepare_app_id(const std::string& app_id) = 0;
  // IPropertyStore::SetValue(PKEY_AppUserModel_ID, value).
  virtual int32_t set_app_id() = 0;
  virtual int32_t commit_properties() = 0;
  // PropVariantClear on the prepared value.
  virtual void clear_app_id() = 0;
  virtual int32_t query_persist_file() = 0;
  virtual int32_t save(const std::string& link_path) = 0;
  // Releases every interface obtained since create_link.
  virtual void release_all() = 0;
};

}  // namespace vestrana
