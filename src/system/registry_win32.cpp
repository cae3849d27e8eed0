// The Win32 registry calls (advapi32). Key paths and value names arrive as
// UTF-8 and are converted at each call; no registry view flag is passed, so
// the program's own (64-bit) view is used.

#include "system/windows_headers.h"

#include <string_view>
#include <vector>

#include "system/registry_api.h"
#include "system/text_win32.h"
#include "system/platform_parts_win32.h"

namespace vestrana {
namespace {

constexpr REGSAM kKeyWrite = 0x20006;  // KEY_WRITE
static_assert(kKeyWrite == KEY_WRITE);

HKEY root_key(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

HKEY as_hkey(RegistryApi::KeyHandle key) { return reinterpret_cast<HKEY>(key); }

class WindowsRegistry final : public RegistryApi {
 public:
  int32_t create_key(const std::string& path, KeyHandle& key) override {
    key = 0;
    HKEY handle = nullptr;
    LSTATUS status =
        RegCreateKeyExW(HKEY_CURRENT_USER, to_wide(path).c_str(), 0, nullptr, 0, kKeyWrite, nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<KeyHandle>(handle);
    return status;
  }

  int32_t set_string(KeyHandle key, const std::string& name, const std::string& data) override {
    std::wstring text = to_wide(data);
    // The byte count includes the terminating NUL and must fit in 32 bits.
    if (text.size() >= 0x7FFFFFFFu / sizeof(wchar_t)) return ERROR_INVALID_PARAMETER;
    DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(as_hkey(key), to_wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          bytes);
  }

  int32_t set_dword(KeyHandle key, const std::string& name, uint32_t data) override {
    DWORD value = data;  // REG_DWORD is little-endian, as is the machine
    return RegSetValueExW(as_hkey(key), to_wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
  }

  void close_key(KeyHandle key) override {
    if (key != 0) RegCloseKey(as_hkey(key));
  }

  std::optional<std::string> get_string(RegistryRoot root, const std::string& path, const std::string& name) override {
    std::wstring wide_path = to_wide(path);
    std::wstring wide_name = to_wide(name);
    DWORD size = 0;
    if (RegGetValueW(root_key(root), wide_path.c_str(), wide_name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    // At least one unit: a null buffer would turn the second call into
    // another size query.
    std::vector<wchar_t> buffer(size / 2 + size % 2 + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegGetValueW(root_key(root), wide_path.c_str(), wide_name.c_str(), RRF_RT_REG_SZ, nullptr, buffer.data(),
                     &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    size_t units = size / sizeof(wchar_t);
    if (units > buffer.size()) units = buffer.size();
    std::wstring_view text(buffer.data(), units);
    size_t nul = text.find(L'\0');
    if (nul != std::wstring_view::npos) text = text.substr(0, nul);
    return to_utf8(text);
  }

  std::optional<uint32_t> get_dword(RegistryRoot root, const std::string& path, const std::string& name) override {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(root_key(root), to_wide(path).c_str(), to_wide(name).c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    return value;
  }

  std::optional<std::vector<uint8_t>> get_binary(RegistryRoot root, const std::string& path,
                                                 const std::string& name) override {
    std::wstring key = to_wide(path), value = to_wide(name);
    DWORD size = 0;
    if (RegGetValueW(root_key(root), key.c_str(), value.c_str(), RRF_RT_REG_BINARY, nullptr, nullptr, &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<uint8_t> data(size);
    if (RegGetValueW(root_key(root), key.c_str(), value.c_str(), RRF_RT_REG_BINARY, nullptr, data.data(), &size) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    data.resize(size);
    return data;
  }

  // An empty sub-key would name HKEY_CURRENT_USER itself; none of the
  // deletions may ever reach that far.
  int32_t delete_tree(const std::string& path) override {
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeW(HKEY_CURRENT_USER, to_wide(path).c_str());
  }

  int32_t delete_key(const std::string& path) override {
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteKeyW(HKEY_CURRENT_USER, to_wide(path).c_str());
  }

  int32_t delete_value(const std::string& path, const std::string& name) override {
    if (path.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteKeyValueW(HKEY_CURRENT_USER, to_wide(path).c_str(), to_wide(name).c_str());
  }
};

}  // namespace

RegistryApi& windows_registry() {
  static WindowsRegistry registry;
  return registry;
}

}  // namespace vestrana
