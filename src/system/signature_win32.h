#pragma once
// The Authenticode signature of an open file, read through that handle.

#include <string>

#include "system/downloader.h"
#include "system/windows_headers.h"

namespace vestrana {

// WinVerifyTrust (WINTRUST_ACTION_GENERIC_VERIFY_V2, no UI, revocation from
// the local cache only) on `file`, whose name is `path`; the signer's
// organization and root from that same verified state. wintrust and crypt32
// are loaded from the system folder; without them the file counts as
// unsigned.
SignatureCheck check_authenticode(HANDLE file, const std::wstring& path);

}  // namespace vestrana
