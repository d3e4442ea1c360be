#include "win32/win32_certificate.h"

namespace tcp::win32 {
namespace {

// Wide text as bytes; a character beyond ASCII becomes one byte that no DNS
// name holds, so that such a name matches nothing.
std::string narrow(const wchar_t* text, std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = text[i] < 0x80 ? static_cast<char>(text[i]) : '\x7f';
  return bytes;
}

std::string narrow(const wchar_t* text) { return text ? narrow(text, std::wcslen(text)) : std::string(); }

TlsCode readAltNames(const CERT_INFO& info, CertificateNames& names) {
  const CERT_EXTENSION* extension = CertFindExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
  if (!extension) return 0;
  auto* altNames = decodeExtension<CERT_ALT_NAME_INFO>(X509_ALTERNATE_NAME, *extension);
  if (!altNames) return lastErrorCode();
  for (DWORD i = 0; i < altNames->cAltEntry; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = altNames->rgAltEntry[i];
    if (entry.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) names.dnsNames.push_back(narrow(entry.pwszDNSName));
    if (entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS)
      names.ipAddresses.emplace_back(reinterpret_cast<const char*>(entry.IPAddress.pbData), entry.IPAddress.cbData);
  }
  LocalFree(altNames);
  return 0;
}

TlsCode readCommonNames(const CERT_INFO& info, CertificateNames& names) {
  auto* subject = decodeObject<CERT_NAME_INFO>(X509_UNICODE_NAME, info.Subject.pbData, info.Subject.cbData);
  if (!subject) return lastErrorCode();
  for (DWORD i = 0; i < subject->cRDN; ++i) {
    const CERT_RDN& rdn = subject->rgRDN[i];
    for (DWORD j = 0; j < rdn.cRDNAttr; ++j) {
      const CERT_RDN_ATTR& attribute = rdn.rgRDNAttr[j];
      if (std::string_view(attribute.pszObjId) != szOID_COMMON_NAME) continue;
      names.commonNames.push_back(
          narrow(reinterpret_cast<const wchar_t*>(attribute.Value.pbData), attribute.Value.cbData / sizeof(wchar_t)));
    }
  }
  LocalFree(subject);
  return 0;
}

}  // namespace

TlsCode readCertificateNames(PCCERT_CONTEXT certificate, CertificateNames& names) {
  if (const TlsCode error = readAltNames(*certificate->pCertInfo, names)) return error;
  return readCommonNames(*certificate->pCertInfo, names);
}

}  // namespace tcp::win32
