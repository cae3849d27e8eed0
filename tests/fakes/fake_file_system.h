#pragma once
// An in-memory FileSystem that behaves like an NTFS volume as the setup sees
// it: paths are compared ignoring (ASCII) case and separator style, files can
// be read-only or in use, folders can hold links (junctions) to elsewhere,
// and other spellings of a path (8.3 names, substituted drives) can be
// declared as aliases so that final_path resolves them to one canonical form.
//
//   FakeFileSystem fs;
//   fs.add_file(R"(C:\Apps\vestrana\vestrana.exe)", "old", /*read_only=*/true);
//   fs.fail(FakeFileSystem::Op::Write, R"(C:\Apps\vestrana\vestrana.new)",
//           fake_os_error(112));
//   ... run the code under test ...
//   EXPECT_EQ(fs.text(R"(C:\Apps\vestrana\vestrana.exe)"), "old");
//
// Error codes follow Windows: a missing file 2, a missing parent 3, a
// read-only or folder target 5, a file in use 32 (writing) or 5 (deleting,
// replacing), a file held by another process 32, an existing folder 183, a
// non-empty folder 145.
//
// Entries can be opened by handle (open_entry): a handle stays with the
// entry it opened when that entry is renamed, and an entry opened inside a
// folder through its handle is the one in that folder now, whatever the
// folder's path has become. on_listed and swap_for_link let a test play the
// other process that swaps a folder for a link while a walk is under way.
//
// Names may hold a lone surrogate, written as its three WTF-8 bytes
// ("\xED\xA0\x80" for U+D800): a listing reports such a name the way the
// Windows layer does, with U+FFFD in its place and exact_name false.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "fakes/call_log.h"
#include "system/file_system.h"

namespace vestrana {

// An OsError with the code and the system's English message for it.
OsError fake_os_error(uint32_t code);

// Readable test failure output.
inline void PrintTo(const OsError& error, std::ostream* os) { *os << error.describe(); }

class FakeOpenEntry;

class FakeFileSystem : public FileSystem {
 public:
  enum class Op {
    Write,  // the open succeeds, the write fails: half the bytes stay
    RenameReplacing,
    RenameByHandle,
    CreateFolder,
    ReadFile,
    FileSize,
    FinalPath,  // final_path gives nothing
    DeleteFile,  // delete_file gives false
    RemoveFolder,  // remove_folder gives false
    ListFolder,  // list_folder gives nothing
  };

  FakeFileSystem() = default;

  // ---- Setting up (parent folders are created as needed) ----
  void add_folder(std::string_view path);
  void add_file(std::string_view path, std::string_view contents, bool read_only = false);
  void add_file(std::string_view path, std::span<const uint8_t> bytes, bool read_only = false);
  // A junction (folder_link) or file symbolic link at `path` pointing at
  // `target`, which need not exist. Paths through the link lead to the target.
  void add_link(std::string_view path, std::string_view target, bool folder_link = true);
  // Another spelling of `real` (a folder or file, or a drive root such as
  // "S:\"): every path starting with `alias` means the same entry, and
  // final_path gives the real spelling. Aliases are not listed.
  void add_alias(std::string_view alias, std::string_view real);
  void set_read_only(std::string_view path, bool read_only = true);
  // An open file (a running program): it cannot be written, replaced or deleted.
  // On a folder (someone's current folder): it cannot be removed.
  void set_in_use(std::string_view path, bool in_use = true);
  // Another process holds the file open without sharing it until `clock`
  // reaches `until`: writing, replacing and deleting it fail with 32.
  void hold(std::string_view path, Clock& clock, Clock::TimePoint until);
  void set_temp_folder(std::optional<std::string> folder) { temp_folder_ = std::move(folder); }
  // Called, outside the fake's lock, each time a folder has been listed
  // through a handle, with the folder's path at that moment.
  void on_listed(std::function<void(const std::string& folder)> hook);
  // What another process can do at any moment: moves the entry at `path`
  // with all its content to `aside` (a free name) and puts a junction to
  // `target` in its place.
  void swap_for_link(std::string_view path, std::string_view aside, std::string_view target);

  // Makes `op` on this path (in any letter case or separator style) fail
  // until cleared.
  void fail(Op op, std::string_view path, OsError error);
  void fail_write(std::string_view path, OsError error) { fail(Op::Write, path, std::move(error)); }
  void clear_failures();

  // ---- Looking at the result ----
  // The file's contents (through links), or nothing when it is not a file.
  std::optional<std::vector<uint8_t>> bytes(std::string_view path) const;
  std::optional<std::string> text(std::string_view path) const;
  bool is_read_only(std::string_view path) const;
  // Every file, folder and link, in the spelling it was created with, sorted.
  std::vector<std::string> all_paths() const;
  // The paths below `folder` (spelled as all_paths spells them), relative to it.
  std::vector<std::string> paths_under(std::string_view folder) const;
  // The operations performed, one line each, e.g. "write C:\a\b.new",
  // "rename C:\a\b.new -> C:\a\b.exe", "rename_by_handle ...", "create_folder ...",
  // "read ...", "delete ...", "remove_folder ...", "list ...", "final_path ...".
  std::vector<std::string> log() const;
  void clear_log();
  // Also writes every operation into `calls`, shared with the other fakes.
  void share_log(CallLog* calls) { shared_log_ = calls; }
  // The entries of a folder (through links), as a test looks at them;
  // nothing when it is no folder or ListFolder fails for it.
  std::optional<std::vector<FolderEntry>> list_folder(const std::string& path);

  // ---- FileSystem ----
  std::unique_ptr<OpenEntry> open_entry(const std::string& path, OsError* error) override;
  std::optional<OsError> write_new_file(const std::string& path, std::span<const uint8_t> bytes) override;
  std::optional<OsError> rename_replacing(const std::string& from, const std::string& to) override;
  std::optional<OsError> rename_by_handle(const std::string& from, const std::string& to) override;
  std::optional<OsError> create_folder(const std::string& path) override;
  bool is_folder(const std::string& path) override;
  bool exists(const std::string& path) override;
  bool is_link(const std::string& path) override;
  std::optional<OsError> read_file(const std::string& path, std::vector<uint8_t>& out) override;
  std::optional<OsError> file_size(const std::string& path, uint64_t& out) override;
  std::optional<std::string> final_path(const std::string& path) override;
  bool delete_file(const std::string& path, OsError* error = nullptr) override;
  bool remove_folder(const std::string& path, OsError* error = nullptr) override;
  bool clear_read_only(const std::string& path) override;
  std::optional<std::string> temp_folder() override { return temp_folder_; }

 private:
  friend class FakeOpenEntry;
  enum class Kind { File, Folder, Link };
  struct Node {
    uint64_t id = 0;  // what a handle holds on to
    Kind kind = Kind::File;
    std::string name;  // last component as created
    std::string parent_key;  // key of the folder holding it
    std::vector<uint8_t> data;
    bool read_only = false;
    bool in_use = false;
    Clock* hold_clock = nullptr;  // held by another process until this clock says so
    Clock::TimePoint held_until;
    std::string target;  // links: where they point
    bool folder_link = true;
  };
  // A path split into its root ("C:\", "\\server\share\", "" for relative)
  // and components, as written.
  struct Parsed {
    std::string root;
    std::vector<std::string> components;
  };

  static Parsed parse(std::string_view path);
  // A name as the Windows layer lists it, and whether it is exact.
  static std::pair<std::string, bool> as_listed(const std::string& name);
  static std::string key_of(const Parsed& p);
  static Parsed parent_of(Parsed p);
  // Follows aliases and links in every component but the last; the last too
  // when follow_last. Nothing on a link loop.
  std::optional<Parsed> resolve(std::string_view path, bool follow_last) const;
  Node* find(const Parsed& p);
  const Node* find(const Parsed& p) const;
  bool folder_exists(const Parsed& p) const;
  bool has_children(const std::string& key) const;
  static bool held(const Node& node) { return node.hold_clock && node.hold_clock->now() < node.held_until; }
  std::string display(const Parsed& p) const;
  std::optional<OsError> injected(Op op, std::string_view path) const;
  void make_folders(const Parsed& p);
  // Changes the entry at `path` itself (a link, not its target).
  void mark(std::string_view path, const char* what, const std::function<void(Node&)>& change);
  Node& put(const Parsed& p, Kind kind);
  // A new entry of `kind` (`what` for the failure message) at `path`, with
  // the folders above it made; nothing when the path names no entry.
  Node* add_entry(std::string_view path, const char* what, bool follow_last, Kind kind);
  void move_node(const Parsed& from, const Parsed& to);
  // The checks both renames share; `may_replace` says whether an existing
  // target may be replaced (nothing) or why not.
  using ReplaceRule =
      std::function<std::optional<OsError>(const Node& moving, const Node& existing, const std::string& target_key)>;
  std::optional<OsError> rename(const std::string& from, const std::string& to, const ReplaceRule& may_replace);
  // The start both removals share: the call logged as `verb`, an injected
  // failure, and the entry at `path` itself (not a link's target) handed to
  // `remove`, which removes it or says why not.
  using RemoveRule = std::function<std::optional<OsError>(const std::optional<Parsed>& real, const Node* node)>;
  bool remove_entry(Op op, std::string_view verb, const std::string& path, OsError* error, const RemoveRule& remove);
  void record(std::string line) {
    if (shared_log_) shared_log_->add("files", line);
    log_.push_back(std::move(line));
  }
  // What the handles of FakeOpenEntry do; the key of the entry is found by
  // its id, so it follows renames.
  std::unique_ptr<OpenEntry> open_node(const Parsed& real, OsError* error);
  const std::string* key_by_id(uint64_t id) const;
  std::optional<std::vector<FolderEntry>> list_by_id(uint64_t id, std::string& shown);
  std::unique_ptr<OpenEntry> open_by_id(uint64_t id, const std::string& name, OsError* error);
  std::optional<std::string> final_path_by_id(uint64_t id) const;
  bool remove_by_id(uint64_t id, OsError* error);

  mutable std::mutex mutex_;
  std::map<std::string, Node> nodes_;
  std::map<std::string, std::string> aliases_;  // key of the alias -> real path
  std::map<std::pair<Op, std::string>, OsError> failures_;
  std::optional<std::string> temp_folder_ = std::string("C:\\Users\\user\\AppData\\Local\\Temp\\");
  std::vector<std::string> log_;
  CallLog* shared_log_ = nullptr;
  uint64_t next_id_ = 1;
  std::function<void(const std::string&)> listed_hook_;
};

}  // namespace vestrana
