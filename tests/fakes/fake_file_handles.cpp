// The handle side of the fake file system: entries opened without following
// a link, listed, opened relative to their folder and deleted through their
// own handle, as the Windows layer does with NtCreateFile and
// SetFileInformationByHandle.
#include <gtest/gtest.h>

#include "fakes/fake_file_system.h"

namespace vestrana {

class FakeOpenEntry final : public OpenEntry {
 public:
  FakeOpenEntry(FakeFileSystem& files, uint64_t id, EntryKind kind) : files_(files), id_(id), kind_(kind) {}

  EntryKind kind() const override { return kind_; }

  std::optional<std::vector<FolderEntry>> list() override {
    std::string shown;
    std::optional<std::vector<FolderEntry>> entries = files_.list_by_id(id_, shown);
    std::function<void(const std::string&)> hook;
    {
      std::lock_guard lock(files_.mutex_);
      hook = files_.listed_hook_;
    }
    if (entries && hook) hook(shown);
    return entries;
  }

  std::unique_ptr<OpenEntry> open(const std::string& name, OsError* error) override {
    return files_.open_by_id(id_, name, error);
  }

  std::optional<std::string> final_path() override { return files_.final_path_by_id(id_); }

  bool remove(OsError* error) override { return files_.remove_by_id(id_, error); }

 private:
  FakeFileSystem& files_;
  uint64_t id_;
  EntryKind kind_;  // a handle keeps the kind of what it opened
};

void FakeFileSystem::on_listed(std::function<void(const std::string& folder)> hook) {
  std::lock_guard lock(mutex_);
  listed_hook_ = std::move(hook);
}

void FakeFileSystem::swap_for_link(std::string_view path, std::string_view aside, std::string_view target) {
  std::lock_guard lock(mutex_);
  std::optional<Parsed> from = resolve(path, /*follow_last=*/false);
  std::optional<Parsed> to = resolve(aside, /*follow_last=*/false);
  if (!from || !to || !find(*from) || find(*to) || to->components.empty()) {
    ADD_FAILURE() << "fake file system: cannot swap " << path << " aside to " << aside;
    return;
  }
  move_node(*from, *to);
  Node& link = put(*from, Kind::Link);
  link.target = std::string(target);
  link.folder_link = true;
}

std::unique_ptr<OpenEntry> FakeFileSystem::open_node(const Parsed& real, OsError* error) {
  const Node* node = find(real);
  if (!node) {
    if (error) *error = fake_os_error(folder_exists(parent_of(real)) ? kErrorFileNotFound : kErrorPathNotFound);
    return nullptr;
  }
  EntryKind kind = node->kind == Kind::Folder ? EntryKind::Folder
                   : node->kind == Kind::Link ? EntryKind::Link
                                              : EntryKind::File;
  return std::make_unique<FakeOpenEntry>(*this, node->id, kind);
}

std::unique_ptr<OpenEntry> FakeFileSystem::open_entry(const std::string& path, OsError* error) {
  std::lock_guard lock(mutex_);
  record("open " + path);
  // FILE_FLAG_OPEN_REPARSE_POINT: links on the way are followed, a final
  // link is opened itself (CreateFileW documentation).
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  if (!real || real->components.empty()) {
    if (error) *error = fake_os_error(kErrorPathNotFound);
    return nullptr;
  }
  return open_node(*real, error);
}

const std::string* FakeFileSystem::key_by_id(uint64_t id) const {
  for (const auto& [key, node] : nodes_) {
    if (node.id == id) return &key;
  }
  return nullptr;
}

std::optional<std::vector<FolderEntry>> FakeFileSystem::list_by_id(uint64_t id, std::string& shown) {
  std::lock_guard lock(mutex_);
  const std::string* key = key_by_id(id);
  if (!key) return std::nullopt;
  shown = display(parse(*key));
  record("list " + shown);
  if (injected(Op::ListFolder, shown) || nodes_.at(*key).kind != Kind::Folder) return std::nullopt;
  std::vector<FolderEntry> entries;
  for (const auto& [k, node] : nodes_) {
    if (node.parent_key != *key) continue;
    bool link = node.kind == Kind::Link;
    auto [name, exact] = as_listed(node.name);
    entries.push_back({name, node.kind == Kind::Folder || (link && node.folder_link), link, exact});
  }
  return entries;
}

std::unique_ptr<OpenEntry> FakeFileSystem::open_by_id(uint64_t id, const std::string& name, OsError* error) {
  std::lock_guard lock(mutex_);
  const std::string* key = key_by_id(id);
  // An entry opened relative to a folder handle is looked up in that folder
  // and nowhere else: no separator, no "..", no link followed on the way
  // (NtCreateFile with OBJECT_ATTRIBUTES.RootDirectory).
  bool one_component = !name.empty() && name != "." && name != ".." && name.find_first_of("\\/") == std::string::npos;
  if (!key || nodes_.at(*key).kind != Kind::Folder || !one_component) {
    if (error) *error = fake_os_error(key ? kErrorInvalidName : kErrorFileNotFound);
    return nullptr;
  }
  Parsed child = parse(*key);
  child.components.push_back(name);
  record("open " + display(child));
  return open_node(child, error);
}

std::optional<std::string> FakeFileSystem::final_path_by_id(uint64_t id) const {
  std::lock_guard lock(mutex_);
  const std::string* key = key_by_id(id);
  if (!key) return std::nullopt;
  return display(parse(*key));
}

bool FakeFileSystem::remove_by_id(uint64_t id, OsError* error) {
  std::lock_guard lock(mutex_);
  auto refuse = [&](uint32_t code) {
    if (error) *error = fake_os_error(code);
    return false;
  };
  const std::string* found = key_by_id(id);
  if (!found) return refuse(kErrorFileNotFound);
  std::string key = *found;
  const Node& node = nodes_.at(key);
  std::string shown = display(parse(key));
  record("remove " + shown);
  bool folder = node.kind == Kind::Folder;
  Op op = folder ? Op::RemoveFolder : Op::DeleteFile;
  if (std::optional<OsError> injected_error = injected(op, shown)) {
    if (error) *error = *injected_error;
    return false;
  }
  // Another process has it open without delete sharing.
  if (held(node)) return refuse(kErrorSharingViolation);
  // A folder that is someone's current folder is open without delete
  // sharing; a running program's image cannot be deleted (STATUS_CANNOT_DELETE).
  if (node.in_use) return refuse(folder ? kErrorSharingViolation : kErrorAccessDenied);
  // FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE (or the attribute cleared
  // first where that flag is refused): read-only does not stand in the way.
  if (folder && has_children(key)) return refuse(kErrorDirNotEmpty);
  nodes_.erase(key);
  return true;
}

}  // namespace vestrana
