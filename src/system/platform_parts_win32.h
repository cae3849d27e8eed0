#pragma once
// The Win32 implementations of the platform interfaces, one factory per
// part. Each returns a process-wide instance; the parts keep
// no state between calls, so sharing them between threads is safe.

#include <cstdint>

#include "system/os_error.h"

namespace vestrana {

class FileSystem;
class RegistryApi;
class SystemMessages;
class KnownFolders;
class Downloader;
class ProcessApi;
class ShellLinkApi;

FileSystem& windows_file_system();
RegistryApi& windows_registry();
SystemMessages& windows_system_messages();
// The language the system's messages are asked for first (see
// message_languages); set once at start-up, before any worker runs.
void prefer_message_language(uint16_t langid);
KnownFolders& windows_known_folders();
Downloader& windows_downloader();
ProcessApi& windows_processes();
// Unlike the other parts, the link object holds COM interfaces from
// create_link to release_all: the calls of one shortcut write belong on one
// thread, and two shortcut writes must not overlap.
ShellLinkApi& windows_shell_links();

// A Win32 error code with the system's message for it ("unknown error" when
// the system has none), as the file and process layers report it.
OsError windows_os_error(uint32_t code);

}  // namespace vestrana
