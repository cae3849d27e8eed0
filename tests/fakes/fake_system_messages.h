#pragma once
// System message texts from a table; codes not in it have no text, like
// codes FormatMessageW does not know.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "system/system_messages.h"

namespace vestrana {

class FakeSystemMessages : public SystemMessages {
 public:
  std::map<uint32_t, std::string> texts;
  std::vector<uint32_t> asked;

  std::optional<std::string> message_for(uint32_t hresult) override {
    asked.push_back(hresult);
    auto found = texts.find(hresult);
    if (found == texts.end()) return std::nullopt;
    return found->second;
  }
};

}  // namespace vestrana
