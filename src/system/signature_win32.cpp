#include "system/signature_win32.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "system/accepted_root_win32.h"
#include "system/system_library_win32.h"
#include "system/text_win32.h"

namespace vestrana {
namespace {

using VerifyTrust = LONG WINAPI(HWND, GUID*, LPVOID);
using ProviderDataFromState = CRYPT_PROVIDER_DATA* WINAPI(HANDLE);
using SignerFromChain = CRYPT_PROVIDER_SGNR* WINAPI(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
using GetNameString = DWORD WINAPI(PCCERT_CONTEXT, DWORD, DWORD, void*, LPWSTR, DWORD);

constexpr LONG kNotChecked = static_cast<LONG>(0x800B0100);  // TRUST_E_NOSIGNATURE

// The organization (O) of the certificate's subject; empty without one.
std::string organization_of(const SystemLibrary& crypt32, PCCERT_CONTEXT certificate) {
  auto* get_name = crypt32.function<GetNameString>("CertGetNameStringW");
  if (get_name == nullptr || certificate == nullptr) return {};
  void* type = const_cast<char*>(szOID_ORGANIZATION_NAME);
  wchar_t name[256];
  DWORD length = get_name(certificate, CERT_NAME_ATTR_TYPE, 0, type, name, 256);
  // The length counts the terminating null; 1 means no such attribute.
  if (length <= 1) return {};
  return to_utf8(std::wstring_view(name, length - 1));
}

// One WinVerifyTrust state: verified on creation, closed on destruction.
class TrustState {
 public:
  TrustState(VerifyTrust& verify, HANDLE file, const std::wstring& path) : verify_(verify) {
    file_info_.cbStruct = sizeof file_info_;
    file_info_.pcwszFilePath = path.c_str();
    file_info_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    // Revocation is checked against what the system already has cached and
    // never fetched: offline, or behind a silent proxy, the check could
    // otherwise hang for as long as the network stack waits.
    data_.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data_.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL | WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &file_info_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    status_ = verify_(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;
  ~TrustState() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    verify_(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, &data_);
  }

  LONG status() const { return status_; }
  HANDLE state() const { return data_.hWVTStateData; }

 private:
  VerifyTrust& verify_;
  GUID action_ = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info_{};
  WINTRUST_DATA data_{};
  LONG status_ = kNotChecked;
};

}  // namespace

SignatureCheck check_authenticode(HANDLE file, const std::wstring& path) {
  SignatureCheck check;
  check.trust_status = kNotChecked;
  SystemLibrary wintrust(L"wintrust.dll");
  SystemLibrary crypt32(L"crypt32.dll");
  auto* verify = wintrust.function<VerifyTrust>("WinVerifyTrust");
  auto* provider_data = wintrust.function<ProviderDataFromState>("WTHelperProvDataFromStateData");
  auto* signer_from_chain = wintrust.function<SignerFromChain>("WTHelperGetProvSignerFromChain");
  if (verify == nullptr || provider_data == nullptr || signer_from_chain == nullptr || !crypt32.loaded()) {
    return check;
  }

  TrustState trust(*verify, file, path);
  check.trust_status = static_cast<int32_t>(trust.status());
  if (trust.status() != ERROR_SUCCESS) return check;
  // The signer as this very verification saw it, not read from the file again.
  CRYPT_PROVIDER_DATA* provider = provider_data(trust.state());
  CRYPT_PROVIDER_SGNR* signer = provider ? signer_from_chain(provider, 0, FALSE, 0) : nullptr;
  if (signer == nullptr || signer->csCertChain == 0 || signer->pasCertChain == nullptr) return check;
  check.signer_organization = organization_of(crypt32, signer->pasCertChain[0].pCert);
  check.accepted_root = chain_ends_in_accepted_root(signer->pChainContext);
  return check;
}

}  // namespace vestrana
