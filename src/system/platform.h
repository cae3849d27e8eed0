#pragma once
// The thin platform layer, one small interface per concern. The procedures
// receive it as a whole; the Windows build passes the Win32 implementations,
// tests pass in-memory fakes.

#include "base/log.h"

namespace vestrana {

class Clock;
class FileSystem;  // system/file_system.h
class RegistryApi;  // system/registry_api.h
class ProcessApi;  // system/process_api.h
class ShellLinkApi;  // system/shell_link_api.h
class KnownFolders;  // system/known_folders.h
class Downloader;  // system/downloader.h
class SystemMessages;  // system/system_messages.h

struct Platform {
  FileSystem& files;
  RegistryApi& registry;
  ProcessApi& processes;
  ShellLinkApi& links;
  KnownFolders& folders;
  Downloader& downloader;
  SystemMessages& messages;
  Clock& clock;
  // What the procedures report for the admin log (--log); without one,
  // nothing is written.
  Log& log = null_log();
};

}  // namespace vestrana
