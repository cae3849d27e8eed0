#pragma once
// A shell link object that records its calls, fails the steps it is told to
// fail and checks that interfaces and the prepared value are let go again.
// With a FileSystem it "saves" by writing a small text file that describes
// the link, so that procedure tests can see which shortcuts exist and read
// what they point at.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "system/file_system.h"
#include "system/shell_link_api.h"

namespace vestrana {

inline constexpr int32_t kHResultNoObject = static_cast<int32_t>(0x80004003);  // E_POINTER
inline constexpr int32_t kHResultFail = static_cast<int32_t>(0x80004005);  // E_FAIL

class FakeShellLinkApi : public ShellLinkApi {
 public:
  explicit FakeShellLinkApi(FileSystem* files = nullptr) : files_(files) {}

  // The calls in order, by method name ("create_link", "set_path", ...).
  std::vector<std::string> calls;
  // HRESULT to return from a method, by method name (initialize_com included).
  std::map<std::string, int32_t> failures;
  // HRESULT to return from saving to a link path, as Controlled Folder Access
  // answers a save into a protected folder such as the Desktop (E_ACCESSDENIED).
  std::map<std::string, int32_t> save_failures;

  // What the current (or last) link object was given.
  std::string path, working_directory, icon_file, description, app_id;
  int icon_index = -1;
  std::vector<std::string> saved;  // paths passed to successful saves

  // Interfaces obtained and not yet released; prepared values not yet cleared.
  int open_interfaces = 0;
  int open_values = 0;
  // Calls that needed an interface or value the object did not have.
  int misuses = 0;

  int32_t initialize_com() override { return record("initialize_com"); }

  int32_t create_link() override {
    int32_t hr = record("create_link");
    if (hr < 0) return hr;
    link_ = true;
    ++open_interfaces;
    path.clear();
    working_directory.clear();
    icon_file.clear();
    description.clear();
    app_id.clear();
    icon_index = -1;
    return hr;
  }

  int32_t set_path(const std::string& target) override {
    return on_link("set_path", [&] { path = target; });
  }
  int32_t set_working_directory(const std::string& folder) override {
    return on_link("set_working_directory", [&] { working_directory = folder; });
  }
  int32_t set_icon_location(const std::string& file, int index) override {
    return on_link("set_icon_location", [&] {
      icon_file = file;
      icon_index = index;
    });
  }
  int32_t set_description(const std::string& text) override {
    return on_link("set_description", [&] { description = text; });
  }

  int32_t query_property_store() override { return query("query_property_store", store_); }

  int32_t prepare_app_id(const std::string& value) override {
    int32_t hr = record("prepare_app_id");
    if (hr < 0) return hr;
    if (prepared_) ++misuses;  // an earlier value was never freed
    prepared_ = value;
    ++open_values;
    return hr;
  }

  int32_t set_app_id() override {
    return on("set_app_id", store_ && prepared_, [&] { pending_app_id_ = *prepared_; });
  }

  int32_t commit_properties() override {
    return on("commit_properties", store_, [&] { app_id = pending_app_id_; });
  }

  void clear_app_id() override {
    calls.push_back("clear_app_id");
    if (prepared_) --open_values;
    prepared_.reset();
  }

  int32_t query_persist_file() override { return query("query_persist_file", file_); }

  int32_t save(const std::string& link_path) override {
    int32_t hr = record("save");
    if (!file_) {
      ++misuses;
      return kHResultNoObject;
    }
    if (hr < 0) return hr;
    if (auto refused = save_failures.find(link_path); refused != save_failures.end()) return refused->second;
    if (files_) {
      std::string text = "target=" + path + "\nworking=" + working_directory + "\nicon=" + icon_file + "," +
                         std::to_string(icon_index) + "\ndescription=" + description + "\napp_id=" + app_id + "\n";
      std::vector<uint8_t> bytes(text.begin(), text.end());
      if (std::optional<OsError> error = files_->write_new_file(link_path, bytes)) {
        return error->code ? static_cast<int32_t>((*error->code & 0xFFFFu) | 0x80070000u) : kHResultFail;
      }
    }
    saved.push_back(link_path);
    return hr;
  }

  void release_all() override {
    calls.push_back("release_all");
    open_interfaces -= (link_ ? 1 : 0) + (store_ ? 1 : 0) + (file_ ? 1 : 0);
    link_ = store_ = file_ = false;
  }

  // The calls, without initialize_com, as one text for compact comparison.
  std::string call_list() const {
    std::string out;
    for (const std::string& c : calls) {
      if (c == "initialize_com") continue;
      if (!out.empty()) out += ' ';
      out += c;
    }
    return out;
  }

 private:
  int32_t record(const std::string& method) {
    calls.push_back(method);
    auto it = failures.find(method);
    return it != failures.end() ? it->second : 0;
  }

  // A call that needs what the object may not have (`has`): without it the
  // call is a misuse and fails; otherwise `apply` is what it does when it
  // succeeds.
  template <class Apply>
  int32_t on(const std::string& method, bool has, Apply apply) {
    int32_t hr = record(method);
    if (!has) {
      ++misuses;
      return kHResultNoObject;
    }
    if (hr >= 0) apply();
    return hr;
  }
  template <class Apply>
  int32_t on_link(const std::string& method, Apply apply) {
    return on(method, link_, apply);
  }
  // Obtains another interface of the link object.
  int32_t query(const std::string& method, bool& obtained) {
    return on_link(method, [&] {
      obtained = true;
      ++open_interfaces;
    });
  }

  FileSystem* files_;
  bool link_ = false, store_ = false, file_ = false;
  std::optional<std::string> prepared_;
  std::string pending_app_id_;
};

}  // namespace vestrana
