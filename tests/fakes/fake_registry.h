#pragma once
// An in-memory registry with the behaviour the setup relies on: key paths and
// value names compare case-insensitively, creating a key creates its parents,
// reads are typed (a DWORD is not a string), RegDeleteKeyW refuses a key that
// still has subkeys, and an empty sub-key path names the root itself.
// Failures can be injected per key (create) and per value name (set); every
// call is recorded in order.

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fakes/call_log.h"
#include "system/os_error.h"
#include "system/registry_api.h"

namespace vestrana {

class FakeRegistry : public RegistryApi {
 public:
  using Data = std::variant<std::string, uint32_t, std::vector<uint8_t>>;
  // The registry functions return the system error code itself.
  static constexpr int32_t kFileNotFound = static_cast<int32_t>(kErrorFileNotFound);
  static constexpr int32_t kAccessDenied = static_cast<int32_t>(kErrorAccessDenied);
  static constexpr int32_t kInvalidHandle = static_cast<int32_t>(kErrorInvalidHandle);
  static constexpr int32_t kKeyDeleted = static_cast<int32_t>(kErrorKeyDeleted);

  struct Write {
    std::string key_path;
    std::string name;
    Data data;
    int32_t status = 0;
  };

  // --- Arranging ---------------------------------------------------------
  void add_key(RegistryRoot root, std::string_view path) {
    std::string norm = normalize(root, path);
    for (size_t i = 0; i <= norm.size(); ++i) {
      if (i == norm.size() || norm[i] == '\\') {
        std::string prefix = norm.substr(0, i);
        if (prefix.size() > 5) keys_.try_emplace(prefix);  // beyond "hkcu\"
      }
    }
  }
  void put(RegistryRoot root, std::string_view path, std::string_view name, Data data) {
    add_key(root, path);
    store(keys_[normalize(root, path)], name, std::move(data));
  }
  void put_string(RegistryRoot root, std::string_view path, std::string_view name, std::string text) {
    put(root, path, name, std::move(text));
  }
  void put_dword(RegistryRoot root, std::string_view path, std::string_view name, uint32_t number) {
    put(root, path, name, number);
  }

  // RegCreateKeyExW on this path (under HKEY_CURRENT_USER) returns `status`.
  void fail_create_key(std::string_view path, int32_t status) {
    create_failures_[normalize(RegistryRoot::CurrentUser, path)] = status;
  }
  // RegSetValueExW of a value with this name (in any key) returns `status`.
  void fail_set_value(std::string_view name, int32_t status) { set_failures_[lower(name)] = status; }

  // --- Inspecting --------------------------------------------------------
  bool has_key(RegistryRoot root, std::string_view path) const { return keys_.count(normalize(root, path)) != 0; }
  std::optional<Data> value(RegistryRoot root, std::string_view path, std::string_view name) const {
    auto key = keys_.find(normalize(root, path));
    if (key == keys_.end()) return std::nullopt;
    for (const auto& [stored, data] : key->second) {
      if (lower(stored) == lower(name)) return data;
    }
    return std::nullopt;
  }
  std::optional<std::string> string_value(RegistryRoot root, std::string_view path, std::string_view name) const {
    auto data = value(root, path, name);
    if (!data || !std::holds_alternative<std::string>(*data)) return std::nullopt;
    return std::get<std::string>(*data);
  }
  std::optional<uint32_t> dword_value(RegistryRoot root, std::string_view path, std::string_view name) const {
    auto data = value(root, path, name);
    if (!data || !std::holds_alternative<uint32_t>(*data)) return std::nullopt;
    return std::get<uint32_t>(*data);
  }
  // Value names of a key in the order they were first written.
  std::vector<std::string> value_names(RegistryRoot root, std::string_view path) const {
    std::vector<std::string> names;
    auto key = keys_.find(normalize(root, path));
    if (key != keys_.end()) {
      for (const auto& entry : key->second) names.push_back(entry.first);
    }
    return names;
  }
  size_t open_key_count() const { return open_.size(); }

  // Every call, in order: "create_key <path>", "set <name>", "close_key",
  // "get_string HKLM\<path>\<name>", "get_dword HKCU\<path>\<name>",
  // "delete_tree <path>", "delete_key <path>", "delete_value <path>\<name>".
  std::vector<std::string> calls;
  // Also gets every call, when set.
  CallLog* shared_log = nullptr;
  // Every RegSetValueExW attempt with its data and returned status.
  std::vector<Write> writes;

  void note(std::string call) {
    if (shared_log) shared_log->add("registry", call);
    calls.push_back(std::move(call));
  }

  // --- RegistryApi ---------------------------------------------------------
  int32_t create_key(const std::string& path, KeyHandle& key) override {
    note("create_key " + path);
    std::string norm = normalize(RegistryRoot::CurrentUser, path);
    if (auto failure = create_failures_.find(norm); failure != create_failures_.end()) {
      return failure->second;
    }
    add_key(RegistryRoot::CurrentUser, path);
    key = next_handle_++;
    open_[key] = OpenKey{norm, path};
    return 0;
  }
  int32_t set_string(KeyHandle key, const std::string& name, const std::string& data) override {
    return set(key, name, data);
  }
  int32_t set_dword(KeyHandle key, const std::string& name, uint32_t data) override { return set(key, name, data); }
  void close_key(KeyHandle key) override {
    note("close_key");
    open_.erase(key);
  }
  std::optional<std::string> get_string(RegistryRoot root, const std::string& path, const std::string& name) override {
    note("get_string " + root_name(root) + "\\" + path + "\\" + name);
    return string_value(root, path, name);
  }
  std::optional<uint32_t> get_dword(RegistryRoot root, const std::string& path, const std::string& name) override {
    note("get_dword " + root_name(root) + "\\" + path + "\\" + name);
    return dword_value(root, path, name);
  }
  std::optional<std::vector<uint8_t>> get_binary(RegistryRoot root, const std::string& path,
                                                 const std::string& name) override {
    calls.push_back("get_binary " + root_name(root) + "\\" + path + "\\" + name);
    auto data = value(root, path, name);
    if (!data || !std::holds_alternative<std::vector<uint8_t>>(*data)) return std::nullopt;
    return std::get<std::vector<uint8_t>>(*data);
  }
  int32_t delete_tree(const std::string& path) override {
    note("delete_tree " + path);
    std::string norm = normalize(RegistryRoot::CurrentUser, path);
    if (path.empty()) {
      // Like RegDeleteTreeW with no sub-key: everything below the root goes.
      std::erase_if(keys_, [&](const auto& key) { return key.first.rfind(norm, 0) == 0; });
      return 0;
    }
    if (keys_.count(norm) == 0) return kFileNotFound;
    std::erase_if(keys_, [&](const auto& key) { return key.first == norm || key.first.rfind(norm + "\\", 0) == 0; });
    return 0;
  }
  int32_t delete_key(const std::string& path) override {
    note("delete_key " + path);
    std::string norm = normalize(RegistryRoot::CurrentUser, path);
    if (path.empty()) return kAccessDenied;
    if (keys_.count(norm) == 0) return kFileNotFound;
    for (const auto& key : keys_) {
      if (key.first.rfind(norm + "\\", 0) == 0) return kAccessDenied;
    }
    keys_.erase(norm);
    return 0;
  }
  int32_t delete_value(const std::string& path, const std::string& name) override {
    note("delete_value " + path + "\\" + name);
    auto key = keys_.find(normalize(RegistryRoot::CurrentUser, path));
    if (key == keys_.end()) return kFileNotFound;
    auto& values = key->second;
    auto found = std::find_if(values.begin(), values.end(),
                              [&](const auto& entry) { return lower(entry.first) == lower(name); });
    if (found == values.end()) return kFileNotFound;
    values.erase(found);
    return 0;
  }

 private:
  using Values = std::vector<std::pair<std::string, Data>>;
  struct OpenKey {
    std::string norm;
    std::string path;
  };

  static std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
  }
  static std::string root_name(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? "HKCU" : "HKLM"; }
  static std::string normalize(RegistryRoot root, std::string_view path) {
    std::string norm = lower(root_name(root));
    if (!path.empty()) norm += "\\" + lower(path);
    return norm;
  }
  static void store(Values& values, std::string_view name, Data data) {
    for (auto& entry : values) {
      if (lower(entry.first) == lower(name)) {
        entry.second = std::move(data);
        return;
      }
    }
    values.emplace_back(std::string(name), std::move(data));
  }

  int32_t set(KeyHandle key, const std::string& name, Data data) {
    note("set " + name);
    auto open = open_.find(key);
    int32_t status = 0;
    if (open == open_.end()) {
      status = kInvalidHandle;
    } else if (auto failure = set_failures_.find(lower(name)); failure != set_failures_.end()) {
      status = failure->second;
    } else if (keys_.count(open->second.norm) == 0) {
      status = kKeyDeleted;
    }
    writes.push_back(Write{open == open_.end() ? std::string() : open->second.path, name, data, status});
    if (status == 0) store(keys_[open->second.norm], name, std::move(data));
    return status;
  }

  std::map<std::string, Values> keys_;
  std::map<KeyHandle, OpenKey> open_;
  std::map<std::string, int32_t> create_failures_;
  std::map<std::string, int32_t> set_failures_;
  KeyHandle next_handle_ = 0x100;
};

}  // namespace vestrana
