#include "system/accepted_root_win32.h"

#include "system/bootstrapper_trust.h"
#include "system/system_library_win32.h"

#ifdef VESTRANA_PINNED_TEST_ROOT
#include <cstring>

#include "pinned_test_root.h"  // kPinnedTestRoot: the DER bytes of the tests' root
#endif

namespace vestrana {

#ifndef VESTRANA_PINNED_TEST_ROOT

namespace {

using VerifyChainPolicy = BOOL WINAPI(LPCSTR, PCCERT_CHAIN_CONTEXT, PCERT_CHAIN_POLICY_PARA, PCERT_CHAIN_POLICY_STATUS);

class Crypt32ChainPolicy final : public ChainPolicy {
 public:
  explicit Crypt32ChainPolicy(PCCERT_CHAIN_CONTEXT chain) : chain_(chain) {}

  std::optional<uint32_t> verify(uint32_t policy, uint32_t flags) override {
    SystemLibrary crypt32(L"crypt32.dll");
    auto* verify_policy = crypt32.function<VerifyChainPolicy>("CertVerifyCertificateChainPolicy");
    if (verify_policy == nullptr) return std::nullopt;
    CERT_CHAIN_POLICY_PARA parameters{};
    parameters.cbSize = sizeof parameters;
    parameters.dwFlags = flags;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!verify_policy(reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(policy)), chain_, &parameters, &status)) {
      return std::nullopt;
    }
    return static_cast<uint32_t>(status.dwError);
  }

 private:
  PCCERT_CHAIN_CONTEXT chain_;
};

}  // namespace

bool chain_ends_in_accepted_root(PCCERT_CHAIN_CONTEXT chain) {
  if (chain == nullptr) return false;
  Crypt32ChainPolicy policy(chain);
  return chain_ends_in_microsoft_root(policy);
}

#else

// The last element of the first simple chain, byte for byte the tests' root.
bool chain_ends_in_accepted_root(PCCERT_CHAIN_CONTEXT chain) {
  if (chain == nullptr || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) return false;
  const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
  PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
  return root != nullptr && root->cbCertEncoded == sizeof kPinnedTestRoot &&
         std::memcmp(root->pbCertEncoded, kPinnedTestRoot, sizeof kPinnedTestRoot) == 0;
}

#endif

}  // namespace vestrana
