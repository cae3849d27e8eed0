#include "system/bootstrapper_trust.h"

namespace vestrana {

bool is_trusted_bootstrapper(const SignatureCheck& check) {
  return check.trust_status == 0 && check.signer_organization == kBootstrapperPublisher && check.accepted_root;
}

bool chain_ends_in_microsoft_root(ChainPolicy& policy) {
  std::optional<uint32_t> error = policy.verify(kMicrosoftRootPolicy, kMicrosoftApplicationRootFlag);
  return error && *error == 0;
}

}  // namespace vestrana
