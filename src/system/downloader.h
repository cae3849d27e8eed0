#pragma once
// Fetching a program from the network and running it only once it has been
// checked: the download goes into a folder made for this one run, the file
// is then held open so that nobody can change it, its signature is read from
// that handle, and the program is started from the same held file.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "system/process_api.h"

namespace vestrana {

// A download that receives nothing for `stall`, or has not finished after
// `total`, is given up.
struct DownloadLimits {
  std::chrono::milliseconds stall;
  std::chrono::milliseconds total;
};

// The Authenticode verdict on a held file.
struct SignatureCheck {
  // WinVerifyTrust's result: 0 for a valid signature whose digest matches.
  int32_t trust_status = -1;
  // The organization (O) of the signer's certificate; empty without one.
  std::string signer_organization;
  // Whether the signer's chain ends in the root this build accepts.
  bool accepted_root = false;
};

// A downloaded file opened once for reading, sharing reading only, without
// following a reparse point: while it is held nobody can write, rename or
// delete it, so what is checked is what is started.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
  virtual SignatureCheck check_signature() = 0;
  // Starts the held file with `command_line` (complete, used verbatim), no
  // inherited handles and `working_folder` as its current folder, and waits
  // for as long as the started process lives.
  virtual ProcessOutcome start_and_wait(const std::string& command_line, const std::string& working_folder) = 0;
};

class Downloader {
 public:
  virtual ~Downloader() = default;
  // A new folder with a random name inside `parent`, created so that it
  // fails when anything of that name exists; its full path, or nothing.
  virtual std::optional<std::string> create_private_folder(const std::string& parent) = 0;
  // Downloads `url` into the new file `path`, fresh from the server (no
  // cached copy is used and none is written). Returns the HRESULT: success
  // is non-negative.
  virtual int32_t download_to_file(const std::string& url, const std::string& path, const DownloadLimits& limits) = 0;
  // The file at `path` held as described above; nothing when it cannot be
  // opened so or is not a plain file.
  virtual std::unique_ptr<HeldFile> hold(const std::string& path) = 0;
};

}  // namespace vestrana
