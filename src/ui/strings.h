#pragma once
// Every text the user can see, in six languages, compiled into the program.
// One table is chosen at start-up from the user's interface language and used
// for the whole run. Entries are slices of static data: never copied, never
// freed, not NUL-terminated.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/progress.h"

namespace vestrana {

// Indices into a StringTable; the order is fixed.
enum class StringId : uint8_t {
  SetupTitle = 0,
  RemoveTitle,
  Subtitle,  // {version}
  UpdateFrom,  // {old}
  OptionDesktopShortcut,
  OptionAutostart,
  ButtonInstall,
  ButtonUpdate,
  StepClosingApp,
  StepCopyingFiles,
  StepWebView2,
  StepShortcuts,
  StepAlmostDone,
  DoneTitle,
  DoneHint,
  ButtonOpen,
  ButtonClose,
  ErrorTitle,
  ButtonTryAgain,
  RemoveQuestion,
  OptionDeleteData,
  ButtonRemove,
  StepRemoving,
  RemovedTitle,
  RemovedHint,
  ErrorNoPayload,
  ErrorWebView2,
  ErrorWriteFiles,  // {detail}
  ErrorAlreadyRunning,
  ErrorLocalSystem,
  ShutdownReason,  // why sign-out should wait for an install or update
  ErrorAppElevated,  // the app runs elevated and cannot be ended
};

inline constexpr size_t kStringCount = 32;

struct StringTable {
  std::array<std::string_view, kStringCount> texts;

  constexpr std::string_view operator[](StringId id) const { return texts[static_cast<size_t>(id)]; }
};

// Two lowercase ASCII letters: "en", "de", "fr", "es", "it" or "tr".
struct LanguageCode {
  std::array<char, 2> letters{'e', 'n'};

  constexpr std::string_view text() const { return std::string_view(letters.data(), letters.size()); }
  bool operator==(const LanguageCode&) const = default;
};

// The language for a Windows LANGID: only the primary language (the low ten
// bits) counts, so every country's German gets German; anything that is not
// German, French, Spanish, Italian or Turkish gets English.
LanguageCode language_for_langid(uint16_t langid);

// The Windows language (LANGID) of a table's texts: the user's own
// `user_langid` when it is that language in any country, else the language
// of its home country (en-US, de-DE, fr-FR, es-ES, it-IT, tr-TR).
uint16_t langid_for(LanguageCode code, uint16_t user_langid);

// The table for a code, compared in ASCII lower case; English for any code
// that is not one of the five others.
const StringTable& table_for(LanguageCode code);

// The spoken name of the drawn title bar's minimize button, or with `close`
// of its close button, in the table's language. They are not in the tables:
// nothing paints them. A table that is not one of the six gets English.
std::string_view title_button_name(const StringTable& table, bool close);

constexpr std::string_view string_for(const StringTable& table, StringId id) { return table[id]; }

// Every "{version}" replaced by `version`, then every "{old}" in that result
// by `old` (so a version text that itself holds "{old}" is filled too).
std::string fill_version(std::string_view template_text, std::string_view version, std::string_view old);

// The progress screen's text for a step.
StringId step_label(Step step);

}  // namespace vestrana
