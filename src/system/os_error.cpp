#include "system/os_error.h"

#include "base/text.h"

namespace vestrana {

std::string fill_detail(std::string_view template_text, const OsError& error) {
  return replace_all(template_text, "{detail}", error.describe());
}

}  // namespace vestrana
