#include "system/system_messages.h"

namespace vestrana {

uint32_t hresult_from_win32(int32_t status) {
  if (status <= 0) return static_cast<uint32_t>(status);
  return (static_cast<uint32_t>(status) & 0xFFFFu) | 0x80070000u;
}

std::string describe_system_error(SystemMessages& messages, uint32_t hresult) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) hex += kDigits[(hresult >> shift) & 0xFu];

  std::optional<std::string> message = messages.message_for(hresult);
  // A message that is empty after trimming is no message: "(0x...)" after a
  // lone blank would read like a formatting slip.
  if (!message || message->empty()) return hex;
  return *message + " (" + hex + ")";
}

}  // namespace vestrana
