#include <array>
#include <cstddef>
#include <utility>

#include "win32/win32_security.h"

namespace tcp::win32 {
namespace {

// The chain's own verdict in the order a user would want to hear it. Wine's
// SSL policy passes a partial chain, so these bits are checked as well.
// Revocation is not asked for, so its "unknown" bits are no verdict.
constexpr std::pair<DWORD, TlsCode> kTrustErrors[] = {
    {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
    {CERT_TRUST_IS_REVOKED, CRYPT_E_REVOKED},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, TRUST_E_CERT_SIGNATURE},
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, TRUST_E_BASIC_CONSTRAINTS},
};
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;

TlsCode trustStatusCode(DWORD errorStatus) {
  errorStatus &= ~kRevocationUnknown;
  if (errorStatus == 0) return 0;
  for (const auto& [bit, code] : kTrustErrors)
    if (errorStatus & bit) return code;
  return static_cast<TlsCode>(CERT_E_CHAINING);
}

// Builds the chain with engine and runs the SSL server policy on it.
TlsCode chainVerdict(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, std::wstring& serverName) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara = {};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(engine, certificate, nullptr, certificate->hCertStore, &chainPara, 0, nullptr, &chain))
    return lastErrorCode();

  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = serverName.data();
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof status;
  TlsCode verdict = 0;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) {
    verdict = lastErrorCode();
  } else if (status.dwError != 0) {
    verdict = status.dwError;
  } else {
    verdict = trustStatusCode(chain->TrustStatus.dwErrorStatus);
  }
  CertFreeCertificateChain(chain);
  return verdict;
}

bool lacksTrustedRoot(TlsCode verdict) {
  return verdict == TlsCode(CERT_E_UNTRUSTEDROOT) || verdict == TlsCode(CERT_E_CHAINING);
}

std::wstring wide(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring result(std::size_t(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), result.data(), length);
  return result;
}

}  // namespace

TlsCode lastErrorCode() {
  const DWORD error = GetLastError();
  if (error == 0) return static_cast<TlsCode>(E_FAIL);
  return static_cast<TlsCode>(HRESULT_FROM_WIN32(error));
}

TlsCode checkServerCertificate(PCCERT_CONTEXT certificate, const std::string& serverName, HCERTSTORE addedRoots) {
  std::wstring name = wide(serverName);
  const TlsCode verdict = chainVerdict(nullptr, certificate, name);
  if (verdict == 0 || addedRoots == nullptr || !lacksTrustedRoot(verdict)) return verdict;
  // hAdditionalStore never makes a root trusted; an engine whose exclusive
  // roots are the added certificates does.
  CERT_CHAIN_ENGINE_CONFIG config = {};
  // The Windows 7 layout, which Wine and every later Windows accept.
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
  config.hExclusiveRoot = addedRoots;
  HCERTCHAINENGINE engine = nullptr;
  if (!CertCreateCertificateChainEngine(&config, &engine)) return verdict;
  const TlsCode withAddedRoots = chainVerdict(engine, certificate, name);
  CertFreeCertificateChainEngine(engine);
  return withAddedRoots;
}

}  // namespace tcp::win32
