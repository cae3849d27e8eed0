// How a test builds the fake file system's tree, injects failures, and
// reads back what the code under test left.
#include <gtest/gtest.h>

#include <mutex>

#include "fakes/fake_file_system.h"

namespace vestrana {

// ---- Setting up ----------------------------------------------------------------

void FakeFileSystem::add_folder(std::string_view path) {
  std::lock_guard lock(mutex_);
  make_folders(parse(path));
}

void FakeFileSystem::add_file(std::string_view path, std::string_view contents, bool read_only) {
  add_file(path, std::span(reinterpret_cast<const uint8_t*>(contents.data()), contents.size()), read_only);
}

FakeFileSystem::Node* FakeFileSystem::add_entry(std::string_view path, const char* what, bool follow_last, Kind kind) {
  Parsed p = parse(path);
  if (p.components.empty()) {
    ADD_FAILURE() << "fake file system: no " << what << " name in " << path;
    return nullptr;
  }
  make_folders(parent_of(p));
  std::optional<Parsed> real = resolve(path, follow_last);
  return real ? &put(*real, kind) : nullptr;
}

void FakeFileSystem::add_file(std::string_view path, std::span<const uint8_t> bytes, bool read_only) {
  std::lock_guard lock(mutex_);
  if (Node* node = add_entry(path, "file", /*follow_last=*/true, Kind::File)) {
    node->data.assign(bytes.begin(), bytes.end());
    node->read_only = read_only;
  }
}

void FakeFileSystem::add_link(std::string_view path, std::string_view target, bool folder_link) {
  std::lock_guard lock(mutex_);
  if (Node* node = add_entry(path, "link", /*follow_last=*/false, Kind::Link)) {
    node->target = std::string(target);
    node->folder_link = folder_link;
  }
}

void FakeFileSystem::add_alias(std::string_view alias, std::string_view real) {
  std::lock_guard lock(mutex_);
  aliases_[key_of(parse(alias))] = std::string(real);
}

void FakeFileSystem::mark(std::string_view path, const char* what, const std::function<void(Node&)>& change) {
  std::lock_guard lock(mutex_);
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  Node* node = real ? find(*real) : nullptr;
  if (!node) {
    ADD_FAILURE() << "fake file system: " << what << " on missing " << path;
    return;
  }
  change(*node);
}

void FakeFileSystem::set_read_only(std::string_view path, bool read_only) {
  mark(path, "set_read_only", [&](Node& node) { node.read_only = read_only; });
}

void FakeFileSystem::set_in_use(std::string_view path, bool in_use) {
  mark(path, "set_in_use", [&](Node& node) { node.in_use = in_use; });
}

void FakeFileSystem::hold(std::string_view path, Clock& clock, Clock::TimePoint until) {
  mark(path, "hold", [&](Node& node) {
    node.hold_clock = &clock;
    node.held_until = until;
  });
}

void FakeFileSystem::fail(Op op, std::string_view path, OsError error) {
  std::lock_guard lock(mutex_);
  failures_[{op, key_of(parse(path))}] = std::move(error);
}

void FakeFileSystem::clear_failures() {
  std::lock_guard lock(mutex_);
  failures_.clear();
}

// ---- Looking at the result ------------------------------------------------------

std::optional<std::vector<uint8_t>> FakeFileSystem::bytes(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  const Node* node = real ? find(*real) : nullptr;
  if (!node || node->kind != Kind::File) return std::nullopt;
  return node->data;
}

std::optional<std::string> FakeFileSystem::text(std::string_view path) const {
  std::optional<std::vector<uint8_t>> data = bytes(path);
  if (!data) return std::nullopt;
  return std::string(data->begin(), data->end());
}

bool FakeFileSystem::is_read_only(std::string_view path) const {
  std::lock_guard lock(mutex_);
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  const Node* node = real ? find(*real) : nullptr;
  return node && node->read_only;
}

std::vector<std::string> FakeFileSystem::all_paths() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const auto& [key, node] : nodes_) out.push_back(display(parse(key)));
  return out;
}

std::vector<std::string> FakeFileSystem::paths_under(std::string_view folder) const {
  const std::string prefix = std::string(folder) + "\\";
  std::vector<std::string> out;
  for (const std::string& path : all_paths()) {
    if (path.starts_with(prefix)) out.push_back(path.substr(prefix.size()));
  }
  return out;
}

std::vector<std::string> FakeFileSystem::log() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void FakeFileSystem::clear_log() {
  std::lock_guard lock(mutex_);
  log_.clear();
}

}  // namespace vestrana
