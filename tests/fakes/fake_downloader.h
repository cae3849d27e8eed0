#pragma once
// The download, the held file and the start of the downloaded program, on a
// FakeFileSystem. A download writes `payload` (whatever `result` says: a
// failed download can leave half a file) and then runs `on_download`.
// Signatures are looked up by the file's bytes at the moment of the check,
// and a start records the bytes at the moment of the start, so a test can
// see whether what ran is what was checked.
//
// Holding follows Windows (CreateFileW with FILE_SHARE_READ only, per the
// CreateFileW documentation): while held the file can be read but not
// written, replaced, renamed or deleted; a reparse point is opened itself
// (FILE_FLAG_OPEN_REPARSE_POINT) and refused as no plain file.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_file_system.h"
#include "system/downloader.h"

namespace vestrana {

class FakeDownloader : public Downloader {
 public:
  struct Call {
    std::string url;
    std::string path;
    DownloadLimits limits;
  };
  struct Start {
    std::string command_line;
    std::string working_folder;
    std::string bytes;  // the program's bytes when it was started
  };
  static constexpr int32_t kInetDownloadFailure = static_cast<int32_t>(0x800C0008u);
  static constexpr int32_t kFileExists = static_cast<int32_t>(0x80070050u);  // HRESULT_FROM_WIN32(ERROR_FILE_EXISTS)
  static constexpr int32_t kNoSignature = static_cast<int32_t>(0x800B0100u);  // TRUST_E_NOSIGNATURE

  explicit FakeDownloader(FakeFileSystem& files) : files_(&files) {}

  // ---- The private folder ----
  // Names handed out in turn (the random part); after them "vestrana-<n>".
  std::vector<std::string> folder_names;
  bool folder_fails = false;
  std::vector<std::string> folders;  // every folder created
  // Runs once the folder exists: another process of the user can write there too.
  std::function<void(const std::string& folder)> on_folder_created;

  // ---- The download ----
  int32_t result = 0;
  std::string payload = "MZ vendor";
  std::function<void(const std::string& url, const std::string& path)> on_download;
  std::vector<Call> calls;

  // ---- Holding and checking ----
  bool hold_fails = false;
  // The verdict for a file with these bytes; any other file is unsigned.
  std::map<std::string, SignatureCheck> signatures{{"MZ vendor", {0, "Microsoft Corporation", true}}};
  std::function<void(const std::string& path)> on_held;  // after the file is held
  std::function<void(const std::string& path)> on_checked;  // after its signature is read
  std::vector<std::string> checked;  // the bytes each check saw

  // ---- Starting ----
  bool start_fails = false;
  std::optional<uint32_t> exit_code = 0;  // nothing: not readable after the wait
  std::function<void(const Start&)> on_start;
  std::vector<Start> starts;

  std::optional<std::string> create_private_folder(const std::string& parent) override {
    if (folder_fails) return std::nullopt;
    // CreateDirectoryW fails with ERROR_ALREADY_EXISTS for any entry of that
    // name, a file or link included; the caller then takes another name.
    for (int attempt = 0; attempt < 8; ++attempt) {
      std::string name =
          next_name_ < folder_names.size() ? folder_names[next_name_] : "vestrana-" + std::to_string(next_name_);
      ++next_name_;
      std::string path = parent;
      if (!path.empty() && path.back() != '\\') path += '\\';
      path += name;
      if (std::optional<OsError> error = files_->create_folder(path)) {
        if (error->code == 183u) continue;
        return std::nullopt;
      }
      folders.push_back(path);
      if (on_folder_created) on_folder_created(path);
      return path;
    }
    return std::nullopt;
  }

  int32_t download_to_file(const std::string& url, const std::string& path, const DownloadLimits& limits) override {
    calls.push_back({url, path, limits});
    // CreateFileW with CREATE_NEW: any entry already there, a link included,
    // stops the download (ERROR_FILE_EXISTS).
    if (files_->exists(path) || files_->is_link(path)) return kFileExists;
    if (files_->write_new_file(path, as_bytes(payload))) return kInetDownloadFailure;
    if (on_download) on_download(url, path);
    return result;
  }

  std::unique_ptr<HeldFile> hold(const std::string& path) override {
    if (hold_fails || files_->is_link(path) || !files_->bytes(path)) return nullptr;
    files_->set_in_use(path, true);
    auto held = std::make_unique<Held>(*this, path);
    if (on_held) on_held(path);
    return held;
  }

  static std::vector<uint8_t> as_bytes(const std::string& text) { return {text.begin(), text.end()}; }

 private:
  class Held : public HeldFile {
   public:
    Held(FakeDownloader& owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    ~Held() override { owner_.files_->set_in_use(path_, false); }

    SignatureCheck check_signature() override {
      std::string bytes = owner_.files_->text(path_).value_or("");
      owner_.checked.push_back(bytes);
      auto it = owner_.signatures.find(bytes);
      SignatureCheck check = it != owner_.signatures.end() ? it->second : SignatureCheck{kNoSignature, "", false};
      if (owner_.on_checked) owner_.on_checked(path_);
      return check;
    }

    ProcessOutcome start_and_wait(const std::string& command_line, const std::string& working_folder) override {
      ProcessOutcome outcome;
      if (owner_.start_fails) return outcome;
      Start start{command_line, working_folder, owner_.files_->text(path_).value_or("")};
      owner_.starts.push_back(start);
      outcome.started = true;
      if (owner_.on_start) owner_.on_start(start);
      outcome.exit_code = owner_.exit_code;
      return outcome;
    }

   private:
    FakeDownloader& owner_;
    std::string path_;
  };

  FakeFileSystem* files_;
  size_t next_name_ = 0;
};

}  // namespace vestrana
