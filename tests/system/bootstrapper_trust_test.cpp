#include "system/bootstrapper_trust.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vestrana {
namespace {

constexpr int32_t kNoSignature = static_cast<int32_t>(0x800B0100u);
constexpr int32_t kBadDigest = static_cast<int32_t>(0x80096010u);
constexpr int32_t kUntrustedRoot = static_cast<int32_t>(0x800B0109u);

TEST(BootstrapperTrust, OnlyAValidSignatureOfTheVendorUnderItsRoot) {
  const std::pair<const char*, SignatureCheck> refused[] = {
      {"unsigned", {kNoSignature, "", false}},
      {"bad digest", {kBadDigest, "Microsoft Corporation", true}},
      {"untrusted root reported", {kUntrustedRoot, "Microsoft Corporation", true}},
      {"other publisher", {0, "Evil Corporation", true}},
      {"lookalike with a space", {0, "Microsoft Corporation ", true}},
      {"lookalike in other case", {0, "MICROSOFT CORPORATION", true}},
      {"other root", {0, "Microsoft Corporation", false}},
  };
  EXPECT_TRUE(is_trusted_bootstrapper({0, "Microsoft Corporation", true}));
  for (const auto& [name, check] : refused) EXPECT_FALSE(is_trusted_bootstrapper(check)) << name;
}

// CertVerifyCertificateChainPolicy with CERT_CHAIN_POLICY_MICROSOFT_ROOT as
// its documentation describes it: the last element of the first simple chain
// must hold a Microsoft root key; "Microsoft Root Certificate Authority 2011"
// counts only with MICROSOFT_ROOT_CERT_CHAIN_POLICY_CHECK_APPLICATION_ROOT_FLAG;
// any other root gives CERT_E_UNTRUSTEDROOT in dwError while the call itself
// succeeds. Other policies are not what the check is about and fail the call.
class DocumentedMicrosoftRootPolicy : public ChainPolicy {
 public:
  enum class Root { Authority2010, Authority2011, Other };
  explicit DocumentedMicrosoftRootPolicy(Root root, bool call_fails = false) : root_(root), call_fails_(call_fails) {}

  std::vector<std::pair<uint32_t, uint32_t>> calls;

  std::optional<uint32_t> verify(uint32_t policy, uint32_t flags) override {
    calls.emplace_back(policy, flags);
    if (call_fails_ || policy != 7) return std::nullopt;
    constexpr uint32_t kUntrustedRootError = 0x800B0109u;
    switch (root_) {
      case Root::Authority2010: return 0;
      case Root::Authority2011: return (flags & 0x00020000u) ? 0u : kUntrustedRootError;
      case Root::Other: return kUntrustedRootError;
    }
    return std::nullopt;
  }

 private:
  Root root_;
  bool call_fails_;
};

TEST(MicrosoftRoot, AcceptsTheVendorsRootsAndNothingElse) {
  using Root = DocumentedMicrosoftRootPolicy::Root;
  struct Case {
    const char* name;
    Root root;
    bool call_fails;
    bool accepted;
  };
  for (const Case& c :
       {Case{"2011 root, the current code-signing root", Root::Authority2011, false, true},
        Case{"2010 root", Root::Authority2010, false, true}, Case{"any other root", Root::Other, false, false},
        Case{"the check itself fails", Root::Authority2011, true, false}}) {
    SCOPED_TRACE(c.name);
    DocumentedMicrosoftRootPolicy policy(c.root, c.call_fails);
    EXPECT_EQ(chain_ends_in_microsoft_root(policy), c.accepted);
    EXPECT_EQ(policy.calls.size(), 1u);
  }
}

}  // namespace
}  // namespace vestrana
