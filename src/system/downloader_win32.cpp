// The bootstrapper download: urlmon's asynchronous binding into a file of
// our own, with our own wait between its notifications so that a silent
// server is given up on time. urlmon is not one of Windows' known DLLs, so
// it is loaded at run time from the system folder rather than imported: an
// "urlmon.dll" beside the setup is never loaded.

#include "system/windows_headers.h"
#include <ntsecapi.h>
#include <objbase.h>
#include <oleauto.h>
#include <urlmon.h>

#include <algorithm>

#include "system/com_apartment_win32.h"
#include "system/download_watch.h"
#include "system/downloader.h"
#include "system/held_file_win32.h"
#include "system/system_library_win32.h"
#include "system/text_win32.h"
#include "system/unique_handle_win32.h"
#include "system/com_ref_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

using CreateUrlMonikerEx = HRESULT WINAPI(IMoniker*, LPCWSTR, IMoniker**, DWORD);
using CreateAsyncBindContext = HRESULT WINAPI(DWORD, IBindStatusCallback*, IEnumFORMATETC*, IBindCtx**);

// Receives the binding's notifications on this thread and writes the data
// into `file`. A binding that does not report its end after being cancelled
// may keep a reference: once cancelled, the callback touches neither the
// file nor the watch (both belong to the download) and only answers E_ABORT.
class DownloadCallback final : public IBindStatusCallback {
 public:
  DownloadCallback(HANDLE file, DownloadWatch& watch) : file_(file), watch_(watch) {}
  ~DownloadCallback() = default;
  DownloadCallback(const DownloadCallback&) = delete;
  DownloadCallback& operator=(const DownloadCallback&) = delete;

  bool done() const { return done_; }
  HRESULT result() const { return FAILED(failure_) ? failure_ : result_; }
  // Cancels the binding; its end is still reported through OnStopBinding.
  void abort() {
    if (FAILED(failure_)) return;
    failure_ = E_ABORT;
    if (binding_.get() != nullptr) binding_->Abort();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IBindStatusCallback))) {
      *out = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (binding != nullptr) binding->AddRef();
    *binding_.out() = binding;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG, LPCWSTR) override {
    return FAILED(failure_) || watch_.expired() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
    result_ = result;
    done_ = true;
    binding_.reset();
    return S_OK;
  }
  // Fresh from the server every time: neither a cached copy (which anyone
  // who can write the user's cache could have planted, or which may be an
  // old bootstrapper) is used, nor one written.
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    if (flags == nullptr || info == nullptr) return E_INVALIDARG;
    *flags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA | BINDF_GETNEWESTVERSION | BINDF_NOWRITECACHE |
             BINDF_PRAGMA_NO_CACHE;
    ULONG size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM* medium) override {
    if (FAILED(failure_)) return E_ABORT;
    if (medium == nullptr || medium->tymed != TYMED_ISTREAM || medium->pstm == nullptr) return S_OK;
    char buffer[16384];
    for (;;) {
      ULONG read = 0;
      HRESULT hr = medium->pstm->Read(buffer, sizeof buffer, &read);
      if (read > 0) {
        DWORD written = 0;
        if (!WriteFile(file_, buffer, read, &written, nullptr) || written != read) {
          failure_ = HRESULT_FROM_WIN32(GetLastError());
          if (SUCCEEDED(failure_)) failure_ = E_FAIL;
          return E_ABORT;
        }
        bytes_ += read;
        watch_.received(bytes_);
      }
      // E_PENDING: the rest comes with a later notification; S_FALSE: the end.
      if (hr != S_OK || read == 0) break;
    }
    return watch_.expired() ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  HANDLE file_;
  DownloadWatch& watch_;
  ComRef<IBinding> binding_;
  ULONG references_ = 1;
  uint64_t bytes_ = 0;
  bool done_ = false;
  HRESULT result_ = S_OK;
  HRESULT failure_ = S_OK;
};

// After the binding has been cancelled, how long its end may take to be
// reported before the download is left behind regardless.
constexpr DWORD kAbortGraceMs = 5000;

// Runs this thread's messages (urlmon reports through a window of its own)
// until the binding has ended, cancelling it once the watch expires.
void wait_for_binding(DownloadCallback& callback, DownloadWatch& watch) {
  bool aborted = false;
  ULONGLONG abort_deadline = 0;
  while (!callback.done()) {
    DWORD wait_ms;
    if (!aborted) {
      auto left = watch.time_left();
      if (left.count() == 0) {
        callback.abort();
        aborted = true;
        abort_deadline = GetTickCount64() + kAbortGraceMs;
        continue;
      }
      wait_ms = static_cast<DWORD>(std::min<long long>(left.count(), 1000));
    } else {
      ULONGLONG now = GetTickCount64();
      if (now >= abort_deadline) return;
      wait_ms = static_cast<DWORD>(abort_deadline - now);
    }
    MsgWaitForMultipleObjectsEx(0, nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG message;
    while (!callback.done() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

class WindowsDownloader final : public Downloader {
 public:
  std::optional<std::string> create_private_folder(const std::string& parent) override {
    std::wstring base = to_wide(parent);
    if (!base.empty() && base.back() != L'\\') base += L'\\';
    // A few names, in case one happens to be taken; CreateDirectoryW fails
    // for any entry of that name, a planted folder or link included.
    for (int attempt = 0; attempt < 4; ++attempt) {
      unsigned char random[8];
      if (!RtlGenRandom(random, sizeof random)) return std::nullopt;
      std::wstring path = base + L"vestrana-";
      for (unsigned char byte : random) {
        path += L"0123456789abcdef"[byte >> 4];
        path += L"0123456789abcdef"[byte & 15];
      }
      if (CreateDirectoryW(path.c_str(), nullptr)) return to_utf8(path);
      if (GetLastError() != ERROR_ALREADY_EXISTS) return std::nullopt;
    }
    return std::nullopt;
  }

  int32_t download_to_file(const std::string& url, const std::string& path, const DownloadLimits& limits) override {
    // Kept loaded: a cancelled binding may still call back into it later.
    static SystemLibrary urlmon(L"urlmon.dll");
    auto* create_moniker = urlmon.function<CreateUrlMonikerEx>("CreateURLMonikerEx");
    auto* create_context = urlmon.function<CreateAsyncBindContext>("CreateAsyncBindCtx");
    // Without the library the download fails like any other: the caller
    // shows the runtime's error and nothing is run.
    if (create_moniker == nullptr || create_context == nullptr) return static_cast<int32_t>(E_NOINTERFACE);
    // A new file, in a folder made for it: nothing that was there is reused.
    UniqueHandle file(
        CreateFileW(to_wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError()));

    // The download runs on the worker thread, which may not have joined COM yet.
    ComApartment com;
    DownloadWatch watch(system_clock(), limits);
    auto* callback = new DownloadCallback(file.get(), watch);
    HRESULT hr = bind(*create_moniker, *create_context, to_wide(url), *callback, watch);
    callback->Release();
    if (FAILED(hr)) {
      // The failure may have left rich error information on the thread; it is
      // not used, but must not linger for the next COM call to pick up.
      IErrorInfo* info = nullptr;
      if (GetErrorInfo(0, &info) == S_OK && info != nullptr) info->Release();
    }
    return static_cast<int32_t>(hr);
  }

  std::unique_ptr<HeldFile> hold(const std::string& path) override { return hold_file(path); }

 private:
  static HRESULT bind(CreateUrlMonikerEx& create_moniker, CreateAsyncBindContext& create_context,
                      const std::wstring& url, DownloadCallback& callback, DownloadWatch& watch) {
    ComRef<IMoniker> moniker;
    HRESULT hr = create_moniker(nullptr, url.c_str(), moniker.out(), URL_MK_UNIFORM);
    if (FAILED(hr)) return hr;
    ComRef<IBindCtx> context;
    hr = create_context(0, &callback, nullptr, context.out());
    if (FAILED(hr)) return hr;
    ComRef<IStream> stream;
    hr = moniker->BindToStorage(context.get(), nullptr, __uuidof(IStream), stream.put());
    if (FAILED(hr)) return hr;
    wait_for_binding(callback, watch);
    // Given up on: the binding may still be winding down, but it no longer
    // writes anything that counts.
    if (!callback.done()) return E_ABORT;
    return callback.result();
  }
};

}  // namespace

Downloader& windows_downloader() {
  static WindowsDownloader downloader;
  return downloader;
}

}  // namespace vestrana
