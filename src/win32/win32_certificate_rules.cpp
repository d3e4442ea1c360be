#include <algorithm>
#include <iterator>

#include "win32/win32_certificate.h"

namespace tcp::win32 {
namespace {

// Signatures over MD2, MD4, MD5 or SHA-1, in their PKCS #1, OIW, DSA and
// ECDSA forms.
constexpr std::string_view kWeakSignatures[] = {
    "1.2.840.113549.1.1.2", "1.2.840.113549.1.1.3", "1.2.840.113549.1.1.4", "1.2.840.113549.1.1.5",
    "1.3.14.3.2.2",         "1.3.14.3.2.3",         "1.3.14.3.2.4",         "1.3.14.3.2.29",
    "1.3.14.3.2.27",        "1.2.840.10040.4.3",    "1.2.840.10045.4.1",
};
constexpr DWORD kLeastRsaBits = 2048;
constexpr DWORD kLeastEcBits = 256;

bool weakSignature(const CERT_INFO& info) {
  const std::string_view algorithm = info.SignatureAlgorithm.pszObjId ? info.SignatureAlgorithm.pszObjId : "";
  return std::find(std::begin(kWeakSignatures), std::end(kWeakSignatures), algorithm) != std::end(kWeakSignatures);
}

// An EC key's size from its point: 04 X Y, or 02/03 X when compressed.
DWORD ecBits(const CRYPT_BIT_BLOB& point) {
  if (point.cbData < 2) return 0;
  const DWORD coordinates = point.cbData - 1;
  return point.pbData[0] == 4 ? coordinates / 2 * 8 : coordinates * 8;
}

bool weakKey(const CERT_INFO& info) {
  const CERT_PUBLIC_KEY_INFO& key = info.SubjectPublicKeyInfo;
  const std::string_view algorithm = key.Algorithm.pszObjId ? key.Algorithm.pszObjId : "";
  if (algorithm == szOID_ECC_PUBLIC_KEY) return ecBits(key.PublicKey) < kLeastEcBits;
  if (algorithm == szOID_RSA_RSA || algorithm == szOID_X957_DSA)
    return CertGetPublicKeyLength(X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(&key)) < kLeastRsaBits;
  return false;
}

// An extended key usage that is there but does not name server authentication.
bool notForServers(const CERT_INFO& info) {
  const CERT_EXTENSION* extension = CertFindExtension(szOID_ENHANCED_KEY_USAGE, info.cExtension, info.rgExtension);
  if (!extension) return false;
  auto* usage = decodeExtension<CERT_ENHKEY_USAGE>(X509_ENHANCED_KEY_USAGE, *extension);
  if (!usage) return true;
  bool serverAuth = false;
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i)
    serverAuth = serverAuth || std::string_view(usage->rgpszUsageIdentifier[i]) == szOID_PKIX_KP_SERVER_AUTH;
  LocalFree(usage);
  return !serverAuth;
}

bool notCa(const CERT_INFO& info) {
  const CERT_EXTENSION* extension = CertFindExtension(szOID_BASIC_CONSTRAINTS2, info.cExtension, info.rgExtension);
  if (!extension) return true;
  auto* constraints = decodeExtension<CERT_BASIC_CONSTRAINTS2_INFO>(X509_BASIC_CONSTRAINTS2, *extension);
  if (!constraints) return true;
  const bool ca = constraints->fCA;
  LocalFree(constraints);
  return !ca;
}

TlsCode certificateVerdict(const CERT_INFO& info, bool leaf) {
  if (weakSignature(info)) return kWeakSignature;
  if (weakKey(info)) return kWeakKey;
  if (leaf && notForServers(info)) return kNotForServers;
  if (!leaf && notCa(info)) return kIssuerNotCa;
  return 0;
}

}  // namespace

TlsCode chainRulesVerdict(const CERT_SIMPLE_CHAIN& chain) {
  for (DWORD i = 0; i < chain.cElement; ++i) {
    const CERT_CHAIN_ELEMENT& element = *chain.rgpElement[i];
    const bool root = i + 1 == chain.cElement && (element.TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED);
    if (root && i > 0) break;
    if (const TlsCode verdict = certificateVerdict(*element.pCertContext->pCertInfo, i == 0)) return verdict;
  }
  return 0;
}

}  // namespace tcp::win32
