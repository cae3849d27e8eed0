#pragma once
// The registry calls the setup makes, one method per Win32 function, so that
// the rules about keys, values, orders and error texts stay portable.
// Statuses are Win32 LSTATUS values (0 = success). Key paths and names are
// UTF-8 text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vestrana {

enum class RegistryRoot { CurrentUser, LocalMachine };

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  using KeyHandle = uintptr_t;

  // RegCreateKeyExW under HKEY_CURRENT_USER with KEY_WRITE.
  virtual int32_t create_key(const std::string& path, KeyHandle& key) = 0;
  // RegSetValueExW, REG_SZ: UTF-16 text with its terminator.
  virtual int32_t set_string(KeyHandle key, const std::string& name, const std::string& data) = 0;
  // RegSetValueExW, REG_DWORD.
  virtual int32_t set_dword(KeyHandle key, const std::string& name, uint32_t data) = 0;
  virtual void close_key(KeyHandle key) = 0;
  // RegGetValueW restricted to REG_SZ (sized first, then read); the text is
  // cut at the first NUL and converted with U+FFFD for invalid UTF-16.
  // Nothing on any failure.
  virtual std::optional<std::string> get_string(RegistryRoot root, const std::string& path,
                                                const std::string& name) = 0;
  // RegGetValueW restricted to REG_DWORD; nothing on any failure.
  virtual std::optional<uint32_t> get_dword(RegistryRoot root, const std::string& path, const std::string& name) = 0;
  // RegGetValueW restricted to REG_BINARY; nothing on any failure.
  virtual std::optional<std::vector<uint8_t>> get_binary(RegistryRoot root, const std::string& path,
                                                         const std::string& name) = 0;
  // RegDeleteTreeW / RegDeleteKeyW / RegDeleteKeyValueW under HKEY_CURRENT_USER.
  virtual int32_t delete_tree(const std::string& path) = 0;
  virtual int32_t delete_key(const std::string& path) = 0;
  virtual int32_t delete_value(const std::string& path, const std::string& name) = 0;
};

}  // namespace vestrana
