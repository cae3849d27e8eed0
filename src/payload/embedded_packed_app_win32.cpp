#include "payload/embedded_packed_app.h"

// Defined by the program's generated assembly file (.incbin of the archive).
extern "C" const uint8_t vestrana_packed_app[];
extern "C" const uint8_t vestrana_packed_app_end[];

namespace vestrana {

std::span<const uint8_t> embedded_packed_app() {
  return {vestrana_packed_app, static_cast<size_t>(vestrana_packed_app_end - vestrana_packed_app)};
}

}  // namespace vestrana
