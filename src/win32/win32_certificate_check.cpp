#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

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

template <std::size_t N>
TlsCode firstError(DWORD errorStatus, const std::pair<DWORD, TlsCode> (&errors)[N]) {
  for (const auto& [bit, code] : errors)
    if (errorStatus & bit) return code;
  return 0;
}

TlsCode policyVerdict(PCCERT_CHAIN_CONTEXT chain) {
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = kIgnoreRevocation;
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof policy;
  policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof status;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) return lastErrorCode();
  return status.dwError;
}

// The chain's trust, the plug-in's rules, then the SSL server policy, which
// runs without a name: names are for nameVerdict alone.
TlsCode verdictOn(PCCERT_CHAIN_CONTEXT chain) {
  const DWORD errorStatus = chain->TrustStatus.dwErrorStatus & ~kRevocationUnknown;
  if (const TlsCode trust = firstError(errorStatus, kTrustErrors)) return trust;
  if (chain->cChain == 0) return static_cast<TlsCode>(CERT_E_CHAINING);
  if (const TlsCode rules = chainRulesVerdict(*chain->rgpChain[0])) return rules;
  if (const TlsCode policy = policyVerdict(chain)) return policy;
  if (const TlsCode later = firstError(errorStatus, kLaterTrustErrors)) return later;
  return errorStatus == 0 ? 0 : static_cast<TlsCode>(CERT_E_CHAINING);
}

struct ChainFreeing {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFreeing>;

// A chain and its verdict.
struct CheckedChain {
  TlsCode verdict = 0;
  Chain chain;
};

// How the engine may look for what the chain lacks: in its caches only, or
// on the network as well, for at most this long.
enum class Retrieval { CacheOnly, Network };
constexpr DWORD kNetworkRetrievalMs = 5000;

// Builds the chain with engine from what the peer sent and what was fetched.
CheckedChain buildChain(HCERTCHAINENGINE engine, PCCERT_CONTEXT certificate, HCERTSTORE known, Retrieval retrieval) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA chainPara = {};
  chainPara.cbSize = sizeof chainPara;
  chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
  chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  chainPara.dwUrlRetrievalTimeout = kNetworkRetrievalMs;
  const DWORD flags = retrieval == Retrieval::CacheOnly ? CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL : 0;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!CertGetCertificateChain(engine, certificate, nullptr, known, &chainPara, flags, nullptr, &chain))
    return {lastErrorCode(), nullptr};
  CheckedChain checked{verdictOn(chain), Chain(chain)};
  return checked;
}

bool lacksTrustedRoot(TlsCode verdict) {
  return verdict == TlsCode(CERT_E_UNTRUSTEDROOT) || verdict == TlsCode(CERT_E_CHAINING);
}

TlsCode nameVerdict(PCCERT_CONTEXT certificate, const std::string& serverName) {
  CertificateNames names;
  if (const TlsCode error = readCertificateNames(certificate, names)) return error;
  return CertificateMatchesName(serverName, names) ? 0 : static_cast<TlsCode>(CERT_E_CN_NO_MATCH);
}

CheckedChain trustedChain(PCCERT_CONTEXT certificate, HCERTSTORE addedRoots, HCERTSTORE known, Retrieval retrieval) {
  CheckedChain checked = buildChain(nullptr, certificate, known, retrieval);
  if (checked.verdict == 0 || addedRoots == nullptr || !lacksTrustedRoot(checked.verdict)) return checked;
  // hAdditionalStore never makes a root trusted; an engine whose exclusive
  // roots are the added certificates does.
  CERT_CHAIN_ENGINE_CONFIG config = {};
  // The Windows 7 layout, which Wine and every later Windows accept.
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, dwExclusiveFlags);
  config.hExclusiveRoot = addedRoots;
  HCERTCHAINENGINE engine = nullptr;
  if (!CertCreateCertificateChainEngine(&config, &engine)) return checked;
  CheckedChain withAddedRoots = buildChain(engine, certificate, known, Retrieval::CacheOnly);
  CertFreeCertificateChainEngine(engine);
  return withAddedRoots;
}

// Where the top certificate of a chain that ends below any root it knows
// says its issuer can be fetched.
std::vector<std::string> topIssuerAddresses(const CheckedChain& checked) {
  if (!checked.chain || checked.chain->cChain == 0) return {};
  if (!(checked.chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_PARTIAL_CHAIN)) return {};
  const CERT_SIMPLE_CHAIN& simple = *checked.chain->rgpChain[0];
  if (simple.cElement == 0) return {};
  return issuerAddresses(simple.rgpElement[simple.cElement - 1]->pCertContext);
}

std::vector<std::string> missingIssuers(const CheckedChain& checked, const FetchedObjects& fetched) {
  std::vector<std::string> wanted;
  for (std::string& address : topIssuerAddresses(checked))
    if (!fetched.count(address)) wanted.push_back(std::move(address));
  return wanted;
}

// The system may know a root it has not installed yet (Windows fetches its
// roots on demand), which only a build with the network allowed finds: for a
// chain that reaches a root nobody trusts, or ends where no address names
// the issuer. A missing issuer whose address was tried is not looked for
// again.
bool mayFindRootOnline(const CheckedChain& checked) {
  if (checked.verdict == TlsCode(CERT_E_UNTRUSTEDROOT)) return true;
  return checked.verdict == TlsCode(CERT_E_CHAINING) && topIssuerAddresses(checked).empty();
}

struct StoreClosing {
  void operator()(HCERTSTORE store) const { CertCloseStore(store, 0); }
};
using Store = std::unique_ptr<void, StoreClosing>;

// The certificates the peer sent, and those fetched for it (a certificate
// or a PKCS #7 bundle of them, DER or PEM); fetched bytes of any other kind
// add nothing.
Store knownCertificates(PCCERT_CONTEXT certificate, const FetchedObjects& fetched) {
  Store known(CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr));
  Store added(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr));
  if (!known || !added) return nullptr;
  CertAddStoreToCollection(known.get(), certificate->hCertStore, 0, 0);
  for (const auto& [address, bytes] : fetched) {
    if (bytes.empty() || bytes.size() > UINT32_MAX) continue;
    CERT_BLOB blob = {static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
    HCERTSTORE found = nullptr;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_BLOB, &blob,
                          CERT_QUERY_CONTENT_FLAG_CERT | CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED |
                              CERT_QUERY_CONTENT_FLAG_PKCS7_UNSIGNED,
                          CERT_QUERY_FORMAT_FLAG_ALL, 0, nullptr, nullptr, nullptr, &found, nullptr, nullptr))
      continue;
    PCCERT_CONTEXT each = nullptr;
    while ((each = CertEnumCertificatesInStore(found, each)) != nullptr)
      CertAddCertificateContextToStore(added.get(), each, CERT_STORE_ADD_USE_EXISTING, nullptr);
    CertCloseStore(found, 0);
  }
  CertAddStoreToCollection(known.get(), added.get(), 0, 0);
  return known;
}

}  // namespace

TlsCode lastErrorCode() {
  const DWORD error = GetLastError();
  if (error == 0) return static_cast<TlsCode>(E_FAIL);
  return static_cast<TlsCode>(HRESULT_FROM_WIN32(error));
}

PeerVerdict checkServerCertificate(PCCERT_CONTEXT certificate, const std::string& serverName, HCERTSTORE addedRoots,
                                   bool revocation, const FetchedObjects& fetched) {
  const Store known = knownCertificates(certificate, fetched);
  if (!known) return {lastErrorCode(), {}};
  CheckedChain checked = trustedChain(certificate, addedRoots, known.get(), Retrieval::CacheOnly);
  if (checked.verdict != 0) {
    std::vector<std::string> wanted = missingIssuers(checked, fetched);
    if (!wanted.empty()) return {0, std::move(wanted)};
  }
  // The one step that may wait, and only for a chain that would otherwise
  // be refused for want of a root.
  if (mayFindRootOnline(checked)) checked = trustedChain(certificate, addedRoots, known.get(), Retrieval::Network);
  if (checked.verdict != 0) return {checked.verdict, {}};
  if (const TlsCode name = nameVerdict(certificate, serverName)) return {name, {}};
  if (!revocation) return {};
  return revocationVerdict(*checked.chain->rgpChain[0], fetched);
}

}  // namespace tcp::win32
