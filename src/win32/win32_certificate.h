#pragma once

// The parts of the server certificate check that read certificates.
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "tcpsocket/certificate_name.h"
#include "tcpsocket/tls_channel.h"
#include "win32/win32_security.h"

namespace tcp::win32 {

// The decoded structure, for the caller to LocalFree; nullptr when the bytes
// are not one.
template <typename T>
T* decodeObject(LPCSTR type, const BYTE* bytes, DWORD size) {
  void* decoded = nullptr;
  DWORD decodedSize = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, type, bytes, size, CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded,
                           &decodedSize))
    return nullptr;
  return static_cast<T*>(decoded);
}

template <typename T>
T* decodeExtension(LPCSTR type, const CERT_EXTENSION& extension) {
  return decodeObject<T>(type, extension.Value.pbData, extension.Value.cbData);
}

// The certificate's subjectAltName DNS names and addresses and its subject's
// common names; 0 or why they could not be read.
TlsCode readCertificateNames(PCCERT_CONTEXT certificate, CertificateNames& names);

// The plug-in's own rules (kWeakSignature...) over a chain from the leaf up,
// the root aside; 0 when every certificate keeps them.
TlsCode chainRulesVerdict(const CERT_SIMPLE_CHAIN& chain);

// The http addresses of a certificate's issuer (its authority information
// access) and of its revocation lists (its CRL distribution points).
std::vector<std::string> issuerAddresses(PCCERT_CONTEXT certificate);
std::vector<std::string> revocationListAddresses(PCCERT_CONTEXT certificate);

// Revocation of the chain's certificates below the root, from the lists in
// fetched: CRYPT_E_REVOKED, or what is still to fetch.
PeerVerdict revocationVerdict(const CERT_SIMPLE_CHAIN& chain, const FetchedObjects& fetched);

}  // namespace tcp::win32
