#pragma once
// What this run of the setup does, fixed at start-up.

#include <cstdint>
#include <string>

namespace vestrana {

struct Mode {
  enum Kind : uint8_t {
    Install,  // nothing installed, or this very version is
    Update,  // another version is installed
    Remove,  // started for removal
  };

  Kind kind = Install;
  // The installed version text; only set for Update.
  std::string installed_version;

  static Mode install() { return Mode{Install, {}}; }
  static Mode update(std::string installed) { return Mode{Update, std::move(installed)}; }
  static Mode remove() { return Mode{Remove, {}}; }

  bool operator==(const Mode&) const = default;
};

}  // namespace vestrana
