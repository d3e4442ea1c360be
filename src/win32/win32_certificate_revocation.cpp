#include "win32/win32_certificate.h"

namespace tcp::win32 {
namespace {

enum class Revocation { Unknown, Good, Revoked };

// What a fetched list says of certificate: only a list its issuer signed,
// for the issuer's name, and current; anything else leaves it unknown.
Revocation statusIn(const std::string& list, PCCERT_CONTEXT certificate, PCCERT_CONTEXT issuer) {
  if (list.empty()) return Revocation::Unknown;
  PCCRL_CONTEXT crl = CertCreateCRLContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(list.data()),
                                           static_cast<DWORD>(list.size()));
  if (!crl) return Revocation::Unknown;
  Revocation status = Revocation::Unknown;
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const CRL_INFO& info = *crl->pCrlInfo;
  const bool current = CompareFileTime(&info.ThisUpdate, &now) <= 0 &&
                       ((info.NextUpdate.dwLowDateTime == 0 && info.NextUpdate.dwHighDateTime == 0) ||
                        CompareFileTime(&info.NextUpdate, &now) >= 0);
  PCRL_ENTRY entry = nullptr;
  if (current &&
      CertCompareCertificateName(X509_ASN_ENCODING, const_cast<PCERT_NAME_BLOB>(&info.Issuer),
                                 &certificate->pCertInfo->Issuer) &&
      CryptVerifyCertificateSignatureEx(0, X509_ASN_ENCODING, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CRL,
                                        const_cast<CRL_CONTEXT*>(crl), CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
                                        const_cast<CERT_CONTEXT*>(issuer), 0, nullptr) &&
      CertFindCertificateInCRL(certificate, crl, 0, nullptr, &entry))
    status = entry ? Revocation::Revoked : Revocation::Good;
  CertFreeCRLContext(crl);
  return status;
}

}  // namespace

// Each certificate below the root, against the first of its lists that
// gives an answer; a list not fetched yet is asked for, one per certificate
// at a time. A list that cannot be had is no refusal.
PeerVerdict revocationVerdict(const CERT_SIMPLE_CHAIN& chain, const FetchedObjects& fetched) {
  PeerVerdict verdict;
  for (DWORD i = 0; i + 1 < chain.cElement; ++i) {
    PCCERT_CONTEXT certificate = chain.rgpElement[i]->pCertContext;
    PCCERT_CONTEXT issuer = chain.rgpElement[i + 1]->pCertContext;
    for (const std::string& address : revocationListAddresses(certificate)) {
      const auto list = fetched.find(address);
      if (list == fetched.end()) {
        verdict.wanted.push_back(address);
        break;
      }
      const Revocation status = statusIn(list->second, certificate, issuer);
      if (status == Revocation::Revoked) return {static_cast<TlsCode>(CRYPT_E_REVOKED), {}};
      if (status == Revocation::Good) break;
    }
  }
  return verdict;
}

}  // namespace tcp::win32
