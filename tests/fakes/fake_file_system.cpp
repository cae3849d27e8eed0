#include "fakes/fake_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "system/win_path.h"

namespace vestrana {
namespace {

constexpr int kMaxHops = 40;

// NTFS compares names after mapping every UTF-16 unit through the volume's
// upcase table ($UpCase, one letter to one letter: "ß" stays, never "SS").
// This is that mapping for the scripts the tests name files in: ASCII,
// Latin-1, Latin Extended-A, Greek and Cyrillic.
char32_t upcase(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;  // à..þ, not ÷
  if (c == 0xFF) return 0x178;  // ÿ
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
    // Pairs of capital and small letter, the small one odd, except in
    // Ĺ..ň and Ź..ž, where it is even.
    const bool small_even = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    return (c % 2 == 0) == small_even ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;  // α..ω, final ς has no capital here
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;  // а..я
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;  // ѐ..џ
  return c;
}

// The key under which a name is found: each character upper-cased, bytes
// that are no UTF-8 (and lone surrogates, which are) kept as they are.
std::string folded(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const size_t length = byte(i) < 0xC0 ? 1 : byte(i) < 0xE0 ? 2 : byte(i) < 0xF0 ? 3 : 4;
    char32_t c = byte(i);
    bool valid = length > 1 && i + length <= s.size();
    if (valid) {
      c = byte(i) & (0x7F >> length);
      for (size_t k = 1; k < length; ++k) {
        valid = valid && (byte(i + k) & 0xC0) == 0x80;
        c = (c << 6) | (byte(i + k) & 0x3F);
      }
    }
    if (!valid || length == 1) {
      out += static_cast<char>(byte(i) < 0x80 ? static_cast<unsigned char>(upcase(byte(i))) : byte(i));
      ++i;
      continue;
    }
    const char32_t upper = upcase(c);
    if (upper == c) {
      out += s.substr(i, length);
    } else {  // every capital of the table is a two-byte character
      out += static_cast<char>(0xC0 | (upper >> 6));
      out += static_cast<char>(0x80 | (upper & 0x3F));
    }
    i += length;
  }
  return out;
}

}  // namespace

OsError fake_os_error(uint32_t code) {
  switch (code) {
    case 2: return {"The system cannot find the file specified.", code};
    case 3: return {"The system cannot find the path specified.", code};
    case 5: return {"Access is denied.", code};
    case 32: return {"The process cannot access the file because it is being used by another process.", code};
    case 112: return {"There is not enough space on the disk.", code};
    case 145: return {"The directory is not empty.", code};
    case 183: return {"Cannot create a file when that file already exists.", code};
    default: return {"Unknown error.", code};
  }
}

// A name as the Windows layer lists it: every lone surrogate (three WTF-8
// bytes ED A0..BF xx) comes back as U+FFFD, and the name is then not exact.
std::pair<std::string, bool> FakeFileSystem::as_listed(const std::string& name) {
  std::string out;
  bool exact = true;
  for (size_t i = 0; i < name.size(); ++i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(name[k]); };
    if (byte(i) == 0xED && i + 2 < name.size() && byte(i + 1) >= 0xA0) {
      out += "\xEF\xBF\xBD";
      exact = false;
      i += 2;
    } else {
      out += name[i];
    }
  }
  return {out, exact};
}

// ---- Paths --------------------------------------------------------------------

FakeFileSystem::Parsed FakeFileSystem::parse(std::string_view path) {
  PathParts parts = split_path(path);
  Parsed p;
  p.root = std::string(parts.prefix);
  std::replace(p.root.begin(), p.root.end(), '/', '\\');
  if (parts.rooted) p.root += '\\';
  for (std::string_view c : parts.components) {
    if (c == "..") {
      if (!p.components.empty()) p.components.pop_back();
    } else {
      p.components.emplace_back(c);
    }
  }
  return p;
}

std::string FakeFileSystem::key_of(const Parsed& p) {
  std::string key = folded(p.root);
  for (size_t i = 0; i < p.components.size(); ++i) {
    if (i > 0) key += '\\';
    key += folded(p.components[i]);
  }
  return key;
}

FakeFileSystem::Parsed FakeFileSystem::parent_of(Parsed p) {
  if (!p.components.empty()) p.components.pop_back();
  return p;
}

std::optional<FakeFileSystem::Parsed> FakeFileSystem::resolve(std::string_view path, bool follow_last) const {
  Parsed cur;
  std::vector<std::string> rest;  // components still to walk, next one last
  int hops = 0;
  auto restart = [&](const Parsed& target) {
    cur = Parsed{target.root, {}};
    for (auto it = target.components.rbegin(); it != target.components.rend(); ++it) rest.push_back(*it);
  };
  restart(parse(path));
  for (auto alias = aliases_.find(key_of(cur)); alias != aliases_.end(); alias = aliases_.find(key_of(cur))) {
    if (++hops > kMaxHops) return std::nullopt;
    restart(parse(alias->second));
  }
  while (!rest.empty()) {
    std::string component = std::move(rest.back());
    rest.pop_back();
    if (component == "..") {
      if (!cur.components.empty()) cur.components.pop_back();
      continue;
    }
    cur.components.push_back(std::move(component));
    std::string key = key_of(cur);
    if (auto alias = aliases_.find(key); alias != aliases_.end()) {
      if (++hops > kMaxHops) return std::nullopt;
      restart(parse(alias->second));
      continue;
    }
    auto node = nodes_.find(key);
    if (node != nodes_.end() && node->second.kind == Kind::Link && (!rest.empty() || follow_last)) {
      if (++hops > kMaxHops) return std::nullopt;
      restart(parse(node->second.target));
    }
  }
  return cur;
}

FakeFileSystem::Node* FakeFileSystem::find(const Parsed& p) {
  auto it = nodes_.find(key_of(p));
  return it == nodes_.end() ? nullptr : &it->second;
}

const FakeFileSystem::Node* FakeFileSystem::find(const Parsed& p) const {
  auto it = nodes_.find(key_of(p));
  return it == nodes_.end() ? nullptr : &it->second;
}

bool FakeFileSystem::folder_exists(const Parsed& p) const {
  if (p.components.empty()) return true;  // drive roots and the current folder
  const Node* node = find(p);
  return node && node->kind == Kind::Folder;
}

bool FakeFileSystem::has_children(const std::string& key) const {
  for (const auto& [k, node] : nodes_) {
    if (node.parent_key == key) return true;
  }
  return false;
}

std::string FakeFileSystem::display(const Parsed& p) const {
  std::string out = p.root;
  if (out.size() >= 2 && out[1] == ':' && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  Parsed prefix{p.root, {}};
  for (size_t i = 0; i < p.components.size(); ++i) {
    prefix.components.push_back(p.components[i]);
    const Node* node = find(prefix);
    if (i > 0) out += '\\';
    out += node ? node->name : p.components[i];
  }
  return out;
}

std::optional<OsError> FakeFileSystem::injected(Op op, std::string_view path) const {
  auto it = failures_.find({op, key_of(parse(path))});
  if (it == failures_.end()) return std::nullopt;
  return it->second;
}

FakeFileSystem::Node& FakeFileSystem::put(const Parsed& p, Kind kind) {
  Node& node = nodes_[key_of(p)];
  if (node.id == 0) node.id = next_id_++;
  if (node.name.empty()) node.name = p.components.back();
  node.parent_key = key_of(parent_of(p));
  node.kind = kind;
  return node;
}

void FakeFileSystem::make_folders(const Parsed& p) {
  Parsed prefix{p.root, {}};
  for (const std::string& component : p.components) {
    prefix.components.push_back(component);
    std::optional<Parsed> real = resolve(display(prefix), /*follow_last=*/true);
    if (!real) {
      ADD_FAILURE() << "fake file system: link loop at " << display(prefix);
      return;
    }
    const Node* node = find(*real);
    if (node && node->kind != Kind::Folder) {
      ADD_FAILURE() << "fake file system: " << display(prefix) << " is not a folder";
      return;
    }
    if (!node && !real->components.empty()) put(*real, Kind::Folder);
  }
}

void FakeFileSystem::move_node(const Parsed& from, const Parsed& to) {
  std::string from_key = key_of(from), to_key = key_of(to);
  Node node = std::move(nodes_.at(from_key));
  nodes_.erase(from_key);
  node.name = to.components.back();
  node.parent_key = key_of(parent_of(to));
  bool folder = node.kind == Kind::Folder;
  nodes_[to_key] = std::move(node);
  if (!folder) return;
  // Everything inside the folder moves along.
  std::string inside = from_key + '\\';
  std::vector<std::pair<std::string, Node>> moved;
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    if (it->first.compare(0, inside.size(), inside) == 0) {
      moved.emplace_back(to_key + it->first.substr(from_key.size()), std::move(it->second));
      it = nodes_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto& [key, child] : moved) {
    child.parent_key = to_key + child.parent_key.substr(from_key.size());
    nodes_[key] = std::move(child);
  }
}

// ---- FileSystem -----------------------------------------------------------------

std::optional<OsError> FakeFileSystem::write_new_file(const std::string& path, std::span<const uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  record("write " + path);
  // The entry of that name is replaced, never written through.
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  if (!real || real->components.empty()) return fake_os_error(kErrorAccessDenied);
  if (!folder_exists(parent_of(*real))) return fake_os_error(kErrorPathNotFound);
  if (Node* node = find(*real)) {
    if (node->kind == Kind::Folder) return fake_os_error(kErrorAccessDenied);
    if (node->in_use || held(*node)) return fake_os_error(kErrorSharingViolation);
    nodes_.erase(key_of(*real));
  }
  Node& node = put(*real, Kind::File);
  node.data.assign(bytes.begin(), bytes.end());
  if (std::optional<OsError> error = injected(Op::Write, path)) {
    node.data.resize(bytes.size() / 2);
    return error;
  }
  return std::nullopt;
}

std::optional<OsError> FakeFileSystem::rename(const std::string& from, const std::string& to,
                                              const ReplaceRule& may_replace) {
  std::optional<Parsed> source = resolve(from, false), target = resolve(to, false);
  if (!source || !target) return fake_os_error(kErrorFileNotFound);
  Node* node = find(*source);
  if (!node) return fake_os_error(kErrorFileNotFound);
  if (node->in_use || held(*node)) return fake_os_error(kErrorSharingViolation);
  if (target->components.empty() || !folder_exists(parent_of(*target))) return fake_os_error(kErrorPathNotFound);
  std::string source_key = key_of(*source), target_key = key_of(*target);
  if (target_key.compare(0, source_key.size() + 1, source_key + '\\') == 0)
    return fake_os_error(kErrorSharingViolation);
  if (source_key != target_key) {
    if (const Node* existing = find(*target)) {
      if (std::optional<OsError> refused = may_replace(*node, *existing, target_key)) return refused;
      nodes_.erase(target_key);
    }
  }
  move_node(*source, *target);
  return std::nullopt;
}

std::optional<OsError> FakeFileSystem::rename_replacing(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  record("rename " + from + " -> " + to);
  if (std::optional<OsError> error = injected(Op::RenameReplacing, from)) return error;
  return rename(from, to, [](const Node& moving, const Node& existing, const std::string&) -> std::optional<OsError> {
    // MoveFileExW replaces only a plain, writable, unused file with a file.
    if (held(existing)) return fake_os_error(kErrorSharingViolation);
    if (existing.kind != Kind::File || moving.kind == Kind::Folder || existing.read_only || existing.in_use) {
      return fake_os_error(kErrorAccessDenied);
    }
    return std::nullopt;
  });
}

std::optional<OsError> FakeFileSystem::rename_by_handle(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  record("rename_by_handle " + from + " -> " + to);
  if (std::optional<OsError> error = injected(Op::RenameByHandle, from)) return error;
  return rename(
      from, to,
      [this](const Node& moving, const Node& existing, const std::string& target_key) -> std::optional<OsError> {
        // POSIX semantics do not ignore a read-only target on Windows (Wine
        // does); that takes FILE_RENAME_FLAG_IGNORE_READONLY_ATTRIBUTE, which the
        // program does not pass because Windows before 10 1809 refuses it
        // (FILE_RENAME_INFO, learn.microsoft.com). Nor is an open file or a
        // folder that holds something replaced.
        if (existing.read_only) return fake_os_error(kErrorAccessDenied);
        if (existing.kind == Kind::Folder && has_children(target_key)) return fake_os_error(kErrorDirNotEmpty);
        if (held(existing)) return fake_os_error(kErrorSharingViolation);
        if (existing.in_use || (existing.kind == Kind::Folder) != (moving.kind == Kind::Folder)) {
          return fake_os_error(kErrorAccessDenied);
        }
        return std::nullopt;
      });
}

std::optional<OsError> FakeFileSystem::create_folder(const std::string& path) {
  std::lock_guard lock(mutex_);
  record("create_folder " + path);
  if (std::optional<OsError> error = injected(Op::CreateFolder, path)) return error;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  if (!real) return fake_os_error(kErrorPathNotFound);
  if (real->components.empty() || find(*real)) return fake_os_error(kErrorAlreadyExists);
  if (!folder_exists(parent_of(*real))) return fake_os_error(kErrorPathNotFound);
  put(*real, Kind::Folder);
  return std::nullopt;
}

bool FakeFileSystem::is_folder(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (path.empty()) return false;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  if (!real) return false;
  if (real->components.empty()) return true;
  const Node* node = find(*real);
  return node && (node->kind == Kind::Folder || (node->kind == Kind::Link && node->folder_link));
}

bool FakeFileSystem::exists(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (path.empty()) return false;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  return real && (real->components.empty() || find(*real));
}

bool FakeFileSystem::is_link(const std::string& path) {
  std::lock_guard lock(mutex_);
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  const Node* node = real ? find(*real) : nullptr;
  return node && node->kind == Kind::Link;
}

std::optional<OsError> FakeFileSystem::read_file(const std::string& path, std::vector<uint8_t>& out) {
  std::lock_guard lock(mutex_);
  record("read " + path);
  if (std::optional<OsError> error = injected(Op::ReadFile, path)) return error;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  const Node* node = real ? find(*real) : nullptr;
  if (!node) return fake_os_error(kErrorFileNotFound);
  if (node->kind != Kind::File) return fake_os_error(kErrorAccessDenied);
  out = node->data;
  return std::nullopt;
}

std::optional<OsError> FakeFileSystem::file_size(const std::string& path, uint64_t& out) {
  std::lock_guard lock(mutex_);
  if (std::optional<OsError> error = injected(Op::FileSize, path)) return error;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  const Node* node = real ? find(*real) : nullptr;
  if (!node) return fake_os_error(kErrorFileNotFound);
  out = node->kind == Kind::File ? node->data.size() : 0;
  return std::nullopt;
}

std::optional<std::string> FakeFileSystem::final_path(const std::string& path) {
  std::lock_guard lock(mutex_);
  record("final_path " + path);
  if (injected(Op::FinalPath, path)) return std::nullopt;
  // GetFinalPathNameByHandleW returns the path with junctions and symbolic links resolved.
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  if (!real || (!real->components.empty() && !find(*real))) return std::nullopt;
  return display(*real);
}

bool FakeFileSystem::remove_entry(Op op, std::string_view verb, const std::string& path, OsError* error,
                                  const RemoveRule& remove) {
  std::lock_guard lock(mutex_);
  record(std::string(verb) + " " + path);
  std::optional<OsError> refused = injected(op, path);
  if (!refused) {
    std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
    refused = remove(real, real ? find(*real) : nullptr);
  }
  if (refused && error) *error = std::move(*refused);
  return !refused;
}

bool FakeFileSystem::delete_file(const std::string& path, OsError* error) {
  return remove_entry(
      Op::DeleteFile, "delete", path, error,
      [&](const std::optional<Parsed>& real, const Node* node) -> std::optional<OsError> {
        if (!node) {
          return fake_os_error(real && folder_exists(parent_of(*real)) ? kErrorFileNotFound : kErrorPathNotFound);
        }
        if (held(*node)) return fake_os_error(kErrorSharingViolation);
        if (node->read_only || node->in_use) return fake_os_error(kErrorAccessDenied);
        if (node->kind == Kind::Folder || (node->kind == Kind::Link && node->folder_link)) {
          return fake_os_error(kErrorAccessDenied);
        }
        nodes_.erase(key_of(*real));
        return std::nullopt;
      });
}

bool FakeFileSystem::remove_folder(const std::string& path, OsError* error) {
  return remove_entry(Op::RemoveFolder, "remove_folder", path, error,
                      [&](const std::optional<Parsed>& real, const Node* node) -> std::optional<OsError> {
                        if (!node) return fake_os_error(kErrorFileNotFound);
                        // Someone's current folder.
                        if (node->in_use) return fake_os_error(kErrorSharingViolation);
                        std::string key = key_of(*real);
                        if (node->kind == Kind::Folder && has_children(key)) return fake_os_error(kErrorDirNotEmpty);
                        bool removable = node->kind == Kind::Folder || (node->kind == Kind::Link && node->folder_link);
                        if (!removable) return fake_os_error(kErrorDirectoryInvalid);
                        if (node->read_only) return fake_os_error(kErrorAccessDenied);
                        nodes_.erase(key);
                        return std::nullopt;
                      });
}

bool FakeFileSystem::clear_read_only(const std::string& path) {
  std::lock_guard lock(mutex_);
  record("clear_read_only " + path);
  std::optional<Parsed> real = resolve(path, /*follow_last=*/false);
  Node* node = real ? find(*real) : nullptr;
  if (!node || node->kind == Kind::Link || !node->read_only) return false;
  node->read_only = false;
  return true;
}

std::optional<std::vector<FolderEntry>> FakeFileSystem::list_folder(const std::string& path) {
  std::lock_guard lock(mutex_);
  record("list " + path);
  if (injected(Op::ListFolder, path)) return std::nullopt;
  std::optional<Parsed> real = resolve(path, /*follow_last=*/true);
  if (!real || !folder_exists(*real)) return std::nullopt;
  std::string key = key_of(*real);
  std::vector<FolderEntry> entries;
  for (const auto& [k, node] : nodes_) {
    if (node.parent_key != key) continue;
    bool link = node.kind == Kind::Link;
    auto [name, exact] = as_listed(node.name);
    entries.push_back({name, node.kind == Kind::Folder || (link && node.folder_link), link, exact});
  }
  return entries;
}

}  // namespace vestrana
