/* The entry point of the loader library, answering that this build cannot
   create a browser environment. The stand-in app never calls it; it exists
   so that the file looks like the real loader to whoever inspects it. */
#include <windows.h>

HRESULT WINAPI CreateCoreWebView2EnvironmentWithOptions(LPCWSTR browser_folder, LPCWSTR user_data_folder, void* options,
                                                        void* handler) {
  (void)browser_folder;
  (void)user_data_folder;
  (void)options;
  (void)handler;
  return E_NOTIMPL;
}
