#pragma once
// The system's own message texts for error codes (FormatMessageW).

#include <cstdint>
#include <optional>
#include <string>
#include <array>

namespace vestrana {

class SystemMessages {
 public:
  virtual ~SystemMessages() = default;
  // The message for an HRESULT (a Win32-derived code 0x8007xxxx gives the
  // Win32 message), trimmed of trailing line breaks; nothing when the system
  // has no text for it.
  virtual std::optional<std::string> message_for(uint32_t hresult) = 0;
};

// HRESULT from a Win32 status: s > 0 becomes (s & 0xFFFF) | 0x80070000,
// s <= 0 is used unchanged.
uint32_t hresult_from_win32(int32_t status);

// The LANGIDs a message is asked for, in order: `preferred` (the language
// of the texts the message is shown among), US English (0x0409), then 0,
// the system's own order (neutral, the thread's, the user's, the system's
// language). The system's text in its display language may be in a script
// the texts around it are not; US English ships with every Windows.
constexpr std::array<uint16_t, 3> message_languages(uint16_t preferred) { return {preferred, 0x0409, 0}; }

// "message (0x80070005)", or "0x80070005" alone when the system has no text.
std::string describe_system_error(SystemMessages& messages, uint32_t hresult);

}  // namespace vestrana
