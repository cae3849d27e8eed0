#pragma once
// Which downloaded bootstrapper may run: one with a valid Authenticode
// signature whose signer is the vendor itself and whose chain ends in one of
// the vendor's own roots. A valid signature alone proves nothing: anyone can
// buy a code-signing certificate, so a file signed by "Evil Corporation" is
// as unwelcome at the vendor's address as an unsigned one.

#include <cstdint>
#include <optional>
#include <string_view>

#include "system/downloader.h"

namespace vestrana {

inline constexpr std::string_view kBootstrapperPublisher = "Microsoft Corporation";

bool is_trusted_bootstrapper(const SignatureCheck& check);

// CertVerifyCertificateChainPolicy on the signer's chain, for one policy.
class ChainPolicy {
 public:
  virtual ~ChainPolicy() = default;
  // The policy status's dwError (0: the chain passes), or nothing when the
  // call itself fails.
  virtual std::optional<uint32_t> verify(uint32_t policy, uint32_t flags) = 0;
};

// CERT_CHAIN_POLICY_MICROSOFT_ROOT, and the flag that makes it accept
// "Microsoft Root Certificate Authority 2011" too: without it only the older
// roots count, and the vendor's current code-signing certificates are issued
// under the 2011 root.
inline constexpr uint32_t kMicrosoftRootPolicy = 7;
inline constexpr uint32_t kMicrosoftApplicationRootFlag = 0x00020000;

bool chain_ends_in_microsoft_root(ChainPolicy& policy);

}  // namespace vestrana
