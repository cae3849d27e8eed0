// URLDownloadToFileW for the WebView2 bootstrapper. urlmon is not one of
// Windows' known DLLs, so it is loaded at run time from the system folder
// rather than imported: an "urlmon.dll" beside the setup is never loaded.

#include "system/windows_headers.h"
#include <objbase.h>
#include <oleauto.h>
#include <urlmon.h>

#include "system/com_apartment_win32.h"
#include "system/downloader.h"
#include "system/system_library_win32.h"
#include "system/text_win32.h"
#include "system/win32_platform_parts.h"

namespace vestrana {
namespace {

using UrlDownloadToFile = HRESULT WINAPI(IUnknown*, const wchar_t*, const wchar_t*, DWORD, IBindStatusCallback*);

class WindowsDownloader final : public Downloader {
 public:
  int32_t download_to_file(const std::string& url, const std::string& path) override {
    SystemLibrary urlmon(L"urlmon.dll");
    UrlDownloadToFile* download = urlmon.function<UrlDownloadToFile>("URLDownloadToFileW");
    // Without the library the download fails like any other: the caller
    // shows the runtime's error and nothing is run.
    if (download == nullptr) return static_cast<int32_t>(E_NOINTERFACE);
    // The download runs on the worker thread, which may not have joined COM yet.
    ComApartment com;
    std::wstring wide_url = to_wide(url);
    std::wstring wide_path = to_wide(path);
    HRESULT hr = download(nullptr, wide_url.c_str(), wide_path.c_str(), 0, nullptr);
    if (FAILED(hr)) {
      // The failure may have left rich error information on the thread; it is
      // not used, but must not linger for the next COM call to pick up.
      IErrorInfo* info = nullptr;
      if (GetErrorInfo(0, &info) == S_OK && info != nullptr) info->Release();
    }
    return static_cast<int32_t>(hr);
  }
};

}  // namespace

Downloader& windows_downloader() {
  static WindowsDownloader downloader;
  return downloader;
}

}  // namespace vestrana
