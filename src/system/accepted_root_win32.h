#pragma once
// Whether a signer's certificate chain ends in the root this build accepts.
// A unit of its own so that the test builds can link a copy of it that
// accepts the tests' throwaway root instead; the shipped build accepts the
// vendor's roots only.

#include "system/windows_headers.h"
#include <wincrypt.h>

namespace vestrana {

bool chain_ends_in_accepted_root(PCCERT_CHAIN_CONTEXT chain);

}  // namespace vestrana
