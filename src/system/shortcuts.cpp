#include "system/shortcuts.h"

#include <cstdint>

#include "base/product.h"
#include "system/file_system.h"
#include "system/known_folders.h"
#include "system/shell_link_api.h"
#include "system/system_messages.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

std::string shortcut_file_name() { return std::string(kProductName) + ".lnk"; }

std::optional<std::string> shortcut_in(KnownFolders& folders, KnownFolder folder) {
  std::optional<std::string> base = folders.known_folder_path(folder);
  if (!base) return std::nullopt;
  return join_path(*base, shortcut_file_name());
}

bool failed(int32_t hresult) { return hresult < 0; }

// Runs the steps of one shortcut write against a link object that the caller
// releases afterwards, whatever happens here.
class ShortcutWriter {
 public:
  ShortcutWriter(ShellLinkApi& links, FileSystem& files, SystemMessages& messages, const std::string& link,
                 const std::string& target)
      : links_(links), files_(files), messages_(messages), link_(link), target_(target) {}

  Result run() {
    (void)links_.initialize_com();  // the thread may already be initialised
    if (int32_t hr = links_.create_link(); failed(hr)) return error("create", hr);
    if (int32_t hr = links_.set_path(target_); failed(hr)) return error("path", hr);
    if (std::optional<std::string> folder = parent_folder(target_)) {
      if (int32_t hr = links_.set_working_directory(*folder); failed(hr)) return error("folder", hr);
    }
    if (int32_t hr = links_.set_icon_location(target_, 0); failed(hr)) return error("icon", hr);
    if (int32_t hr = links_.set_description(std::string(kProductName)); failed(hr)) {
      return error("description", hr);
    }
    if (int32_t hr = links_.query_property_store(); failed(hr)) return error("properties", hr);
    if (int32_t hr = set_identity(); failed(hr)) return error("identity", hr);
    if (int32_t hr = links_.query_persist_file(); failed(hr)) return error("file", hr);
    // A folder that cannot be made is not examined here: the save reports it.
    if (std::optional<std::string> folder = parent_folder(link_)) (void)create_folder_all(files_, *folder);
    if (int32_t hr = links_.save(link_); failed(hr)) return error("save", hr);
    return Result::success();
  }

 private:
  // The first failing HRESULT of preparing, setting and committing the
  // identity. The prepared value is freed once, whatever the outcome, before
  // the error travels on.
  int32_t set_identity() {
    int32_t hr = links_.prepare_app_id(std::string(kAppIdentity));
    if (!failed(hr)) {
      hr = links_.set_app_id();
      if (!failed(hr)) hr = links_.commit_properties();
    }
    links_.clear_app_id();
    return hr;
  }

  Result error(const char* step, int32_t hresult) {
    return Result::failure("shortcut " + link_ + ": " + step + ": " +
                           describe_system_error(messages_, static_cast<uint32_t>(hresult)));
  }

  ShellLinkApi& links_;
  FileSystem& files_;
  SystemMessages& messages_;
  const std::string& link_;
  const std::string& target_;
};

}  // namespace

std::optional<std::string> start_menu_shortcut_path(KnownFolders& folders) {
  return shortcut_in(folders, KnownFolder::Programs);
}

std::optional<std::string> desktop_shortcut_path(KnownFolders& folders) {
  return shortcut_in(folders, KnownFolder::Desktop);
}

Result create_shortcut(ShellLinkApi& links, FileSystem& files, SystemMessages& messages, const std::string& link,
                       const std::string& target) {
  Result result = ShortcutWriter(links, files, messages, link, target).run();
  // Every interface obtained on the way is let go on every path, success or not.
  links.release_all();
  return result;
}

bool remove_shortcut(FileSystem& files, const std::string& link) { return files.delete_file(link); }

bool desktop_shortcut_present(KnownFolders& folders, FileSystem& files) {
  std::optional<std::string> path = desktop_shortcut_path(folders);
  return path && files.exists(*path);
}

}  // namespace vestrana
