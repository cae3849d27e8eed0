// The packed app as arbitrary bytes: a damaged or tampered download. The
// decoder and the splitter must turn every input into entries or one of the
// fixed failure sentences. Seeded with xz-utils' own test files.

#include <cstddef>
#include <cstdint>
#include <span>

#include "packed_app_checks.h"
#include "payload/packed_app.h"

using namespace vestrana;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto result = unpack_packed_app(std::span<const uint8_t>(data, size));
  if (result) {
    fuzz::check_entries(*result);
  } else {
    fuzz::classify_failure(result.failure_text());
  }
  return 0;
}
