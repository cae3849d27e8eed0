#pragma once
// An error reported by the operating system (or by the file writer itself),
// kept as a value until a caller turns it into a user-visible sentence.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vestrana {

// The system error codes the program (and the fakes that stand in for the
// system) act on.
inline constexpr uint32_t kErrorFileNotFound = 2;
inline constexpr uint32_t kErrorPathNotFound = 3;
inline constexpr uint32_t kErrorAccessDenied = 5;
inline constexpr uint32_t kErrorInvalidHandle = 6;
inline constexpr uint32_t kErrorSharingViolation = 32;
inline constexpr uint32_t kErrorLockViolation = 33;
inline constexpr uint32_t kErrorInvalidName = 123;
inline constexpr uint32_t kErrorDirNotEmpty = 145;
inline constexpr uint32_t kErrorAlreadyExists = 183;
inline constexpr uint32_t kErrorDirectoryInvalid = 267;
inline constexpr uint32_t kErrorKeyDeleted = 1018;

struct OsError {
  // The system's own one-line message for the code ("Access is denied."),
  // or the writer's text for errors that have no system code.
  std::string message;
  // The system error code, when there is one.
  std::optional<uint32_t> code;

  // The one-line description used in failure texts:
  // "Access is denied. (os error 5)", or the message alone without a code.
  std::string describe() const {
    if (!code) return message;
    return message + " (os error " + std::to_string(*code) + ")";
  }
};

// Every "{detail}" in a failure text replaced by the error's one-line
// description.
std::string fill_detail(std::string_view template_text, const OsError& error);

}  // namespace vestrana
