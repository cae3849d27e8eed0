/* Test program: prints what the shell reads from each shortcut file given as
   an argument, one UTF-8 line per file:
     target TAB working folder TAB icon path,icon index TAB description LF
   A file that cannot be loaded prints "unreadable" and makes the exit code 1. */
#define COBJMACROS
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string.h>

static void put(const wchar_t* text) {
  char bytes[4096];
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, NULL, NULL);
  DWORD written = 0;
  if (n > 1) WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, (DWORD)(n - 1), &written, NULL);
}

static int print_link(const wchar_t* path) {
  IShellLinkW* link = NULL;
  IPersistFile* file = NULL;
  int ok = 0;
  if (SUCCEEDED(CoCreateInstance(&CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, &IID_IShellLinkW, (void**)&link)) &&
      SUCCEEDED(IShellLinkW_QueryInterface(link, &IID_IPersistFile, (void**)&file)) &&
      SUCCEEDED(IPersistFile_Load(file, path, STGM_READ))) {
    wchar_t target[MAX_PATH] = L"", folder[MAX_PATH] = L"", icon[MAX_PATH] = L"", text[1024] = L"";
    wchar_t index[16];
    int icon_index = -1;
    IShellLinkW_GetPath(link, target, MAX_PATH, NULL, SLGP_RAWPATH);
    IShellLinkW_GetWorkingDirectory(link, folder, MAX_PATH);
    IShellLinkW_GetIconLocation(link, icon, MAX_PATH, &icon_index);
    IShellLinkW_GetDescription(link, text, 1024);
    wsprintfW(index, L",%d", icon_index);
    put(target);
    put(L"\t");
    put(folder);
    put(L"\t");
    put(icon);
    put(index);
    put(L"\t");
    put(text);
    put(L"\n");
    ok = 1;
  } else {
    put(L"unreadable\n");
  }
  if (file != NULL) IPersistFile_Release(file);
  if (link != NULL) IShellLinkW_Release(link);
  return ok;
}

int wmain(int argc, wchar_t** argv) {
  int code = 0;
  CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
  for (int i = 1; i < argc; ++i)
    if (!print_link(argv[i])) code = 1;
  return code;
}
