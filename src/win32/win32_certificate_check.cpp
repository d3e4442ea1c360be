#include <array>
#include <cstddef>
#include <utility>

#include "win32/win32_certificate.h"

namespace tcp::win32 {
namespace {

// The chain's trust in the order a user would want to hear it, before the
// plug-in's own rules. Wine's SSL policy passes a partial chain, so these
// bits are checked as well. Revocation that could not be learnt is no verdict.
constexpr std::pair<DWORD, TlsCode> kTrustErrors[] = {
    {CERT_TRUST_IS_NOT_TIME_VALID, CERT_E_EXPIRED},
    {CERT_TRUST_IS_REVOKED, CRYPT_E_REVOKED},
    {CERT_TRUST_IS_NOT_SIGNATURE_VALID, TRUST_E_CERT_SIGNATURE},
    {CERT_TRUST_IS_UNTRUSTED_ROOT, CERT_E_UNTRUSTEDROOT},
    {CERT_TRUST_IS_PARTIAL_CHAIN, CERT_E_CHAINING},
};
// After the plug-in's rules, which say more about the same faults.
constexpr std::pair<DWORD, TlsCode> kLaterTrustErrors[] = {
    {CERT_TRUST_IS_NOT_VALID_FOR_USAGE, CERT_E_WRONG_USAGE},
    {CERT_TRUST_INVALID_BASIC_CONSTRAINTS, TRUST_E_BASIC_CONSTRAINTS},
};
constexpr DWORD kRevocationUnknown = CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION;
// SECURITY_FLAG_IGNORE_REVOCATION, which only <wininet.h> defines.
constexpr DWORD kIgnoreRevocation = 0x00000080;
// How long fetching one missing issuer or revocation list may take.
constexpr DWORD kUrlRetrievalMs = 10000;

template <std::size_t N>
TlsCode firstError(DWORD errorStatus, const std::pair<DWORD, TlsCode> (&errors)[N]) {
  for (const auto& [bit, code] : errors)
    if (errorStatus & bit) return code;
  return 0;
}

TlsCode policyVerdict(PCCERT_CHAIN_CONTEXT chain, bool revocation) {
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  if (revocation) ssl.fdwChecks = kIgnoreRevocation;
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof policy;
  if (revocation) policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) return lastErrorCode();
  return status.dwError;
}

// The chain's trust, the plug-in's rules, then the SSL server policy, which
// runs without a name: names are for nameVerdict alone.
TlsCode verdictOn(PCCERT_CHAIN_CONTEXT chain, bool revocation) {
  const DWORD errorStatus = chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown;
  if (const TlsCode trust = firstError(errorStatus, kTrustErrors)) return trust;
  if (chain->cChain == 0) return static_cast<TlsCode>(CERT_E_CHAINING);
  if (const TlsCode rules = chainRulesVerdict(*chain->rgpChain[0])) return rules;
  if (const TlsCode policy = policyVerdict(chain, revocation)) return policy;
  if (const TlsCode later = firstError(errorStatus, kLaterTrustErrors)) return later;
  return errorStatus == 0 ? 0 : static_cast<TlsCode>(CERT_E_CHAINING);
}

// Builds the chain with engine, with revocation checked for every
// certificate but the root when asked.
TlsCode chainVerdict(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, bool revocation) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara = {};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  chainPara.dwUrlRetrievalTimeout = kUrlRetrievalMs;
  const DWORD flags = revocation ? CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT : 0;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(engine, certificate, nullptr, certificate->hCertStore, &chainPara, flags, nullptr,
                               &chain))
    return lastErrorCode();
  const TlsCode verdict = verdictOn(chain, revocation);
  CertFreeCertificateChain(chain);
  return verdict;
}

bool lacksTrustedRoot(TlsCode verdict) {
  return verdict == TlsCode(CERT_E_UNTRUSTEDROOT) || verdict == TlsCode(CERT_E_CHAINING);
}

TlsCode nameVerdict(PCCERT_CONTEXT certificate, const std::string& serverName) {
  CertificateNames names;
  if (const TlsCode error = readCertificateNames(certificate, names)) return error;
  return CertificateMatchesName(serverName, names) ? 0 : static_cast<TlsCode>(CERT_E_CN_NO_MATCH);
}

TlsCode trustVerdict(PCCERT_CONTEXT certificate, HCERTSTORE addedRoots, bool revocation) {
  const TlsCode verdict = chainVerdict(nullptr, certificate, revocation);
  if (verdict == 0 || addedRoots == nullptr || !lacksTrustedRoot(verdict)) return verdict;
  // hAdditionalStore never makes a root trusted; an engine whose exclusive
  // roots are the added certificates does.
  CERT_CHAIN_ENGINE_CONFIG config = {};
  // The Windows 7 layout, which Wine and every later Windows accept.
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
  config.hExclusiveRoot = addedRoots;
  HCERTCHAINENGINE engine = nullptr;
  if (!CertCreateCertificateChainEngine(&config, &engine)) return verdict;
  const TlsCode withAddedRoots = chainVerdict(engine, certificate, revocation);
  CertFreeCertificateChainEngine(engine);
  return withAddedRoots;
}

}  // namespace

TlsCode lastErrorCode() {
  const DWORD error = GetLastError();
  if (error == 0) return static_cast<TlsCode>(E_FAIL);
  return static_cast<TlsCode>(HRESULT_FROM_WIN32(error));
}

TlsCode checkServerCertificate(PCCERT_CONTEXT certificate, const std::string& serverName, HCERTSTORE addedRoots,
                               bool revocation) {
  if (const TlsCode verdict = trustVerdict(certificate, addedRoots, revocation)) return verdict;
  return nameVerdict(certificate, serverName);
}

}  // namespace tcp::win32
