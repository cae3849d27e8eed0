// The shell link object (IShellLinkW with IPropertyStore and IPersistFile)
// behind ShellLinkApi: one COM call per method, so that the order of the steps
// and their error texts are decided by the portable shortcut writer.

#include "system/windows_headers.h"
#include <objbase.h>
#include <objidl.h>
#include <propidl.h>
#include <propsys.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "system/shell_link_api.h"
#include "system/text_win32.h"
#include "system/com_ref_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

// Defined here rather than taken from a library: the MinGW headers lack the
// key, and the class ID is all that would be needed from libuuid.
const CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const PROPERTYKEY kAppUserModelId = {{0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};

// What a method reports when the interface it needs was never obtained, and
// what a query reports when it "succeeds" without an object.
constexpr HRESULT kNoObject = E_POINTER;

// A successful call that delivered no object counts as a failure.
HRESULT checked(HRESULT hr, const void* object) { return SUCCEEDED(hr) && object == nullptr ? kNoObject : hr; }

class WindowsShellLinks final : public ShellLinkApi {
 public:
  WindowsShellLinks() { PropVariantInit(&app_id_); }
  ~WindowsShellLinks() override { clear_app_id(); }

  int32_t initialize_com() override { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

  int32_t create_link() override {
    release_all();
    HRESULT hr = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkW), link_.put());
    return checked(hr, link_.get());
  }

  int32_t set_path(const std::string& target) override {
    if (!link_.get()) return kNoObject;
    return link_.get()->SetPath(to_wide(target).c_str());
  }

  int32_t set_working_directory(const std::string& folder) override {
    if (!link_.get()) return kNoObject;
    return link_.get()->SetWorkingDirectory(to_wide(folder).c_str());
  }

  int32_t set_icon_location(const std::string& file, int index) override {
    if (!link_.get()) return kNoObject;
    return link_.get()->SetIconLocation(to_wide(file).c_str(), index);
  }

  int32_t set_description(const std::string& text) override {
    if (!link_.get()) return kNoObject;
    return link_.get()->SetDescription(to_wide(text).c_str());
  }

  int32_t query_property_store() override {
    if (!link_.get()) return kNoObject;
    HRESULT hr = link_.get()->QueryInterface(__uuidof(IPropertyStore), store_.put());
    return checked(hr, store_.get());
  }

  int32_t prepare_app_id(const std::string& app_id) override {
    clear_app_id();
    wchar_t* copy = nullptr;
    HRESULT hr = SHStrDupW(to_wide(app_id).c_str(), &copy);
    if (FAILED(hr)) return hr;
    app_id_.vt = VT_LPWSTR;
    app_id_.pwszVal = copy;
    return hr;
  }

  int32_t set_app_id() override {
    if (!store_.get()) return kNoObject;
    return store_.get()->SetValue(kAppUserModelId, app_id_);
  }

  int32_t commit_properties() override {
    if (!store_.get()) return kNoObject;
    return store_.get()->Commit();
  }

  void clear_app_id() override {
    PropVariantClear(&app_id_);  // frees the SHStrDupW copy; harmless when empty
    PropVariantInit(&app_id_);
  }

  int32_t query_persist_file() override {
    if (!link_.get()) return kNoObject;
    HRESULT hr = link_.get()->QueryInterface(__uuidof(IPersistFile), file_.put());
    return checked(hr, file_.get());
  }

  int32_t save(const std::string& link_path) override {
    if (!file_.get()) return kNoObject;
    return file_.get()->Save(to_wide(link_path).c_str(), TRUE);
  }

  void release_all() override {
    file_.reset();
    store_.reset();
    link_.reset();
  }

 private:
  ComRef<IShellLinkW> link_;
  ComRef<IPropertyStore> store_;
  ComRef<IPersistFile> file_;
  PROPVARIANT app_id_;
};

}  // namespace

ShellLinkApi& windows_shell_links() {
  // One instance for the process (the platform record keeps a reference to
  // it). Its COM objects exist only from create_link to release_all, within
  // one shortcut write on one thread, and only one install or removal runs
  // at a time.
  static WindowsShellLinks links;
  return links;
}

}  // namespace vestrana
