#include <memory>

#include "tcpsocket/url_fetch.h"
#include "win32/win32_certificate.h"

namespace tcp::win32 {
namespace {

struct LocalFreeing {
  void operator()(void* block) const { LocalFree(block); }
};

// An address as bytes, kept only when it is an http address the library can
// fetch: a character beyond ASCII makes it none.
void keepFetchable(const wchar_t* url, std::vector<std::string>& addresses) {
  if (!url) return;
  std::string address;
  for (; *url; ++url) {
    if (*url >= 0x80) return;
    address.push_back(static_cast<char>(*url));
  }
  if (ParseHttpAddress(address)) addresses.push_back(std::move(address));
}

// The certificate's extension oid decoded as type; nullptr when it has none
// or it does not decode.
template <typename T>
std::unique_ptr<T, LocalFreeing> decodedExtension(PCCERT_CONTEXT certificate, LPCSTR oid, LPCSTR type) {
  const CERT_EXTENSION* extension =
      CertFindExtension(oid, certificate->pCertInfo->cExtension, certificate->pCertInfo->rgExtension);
  if (!extension) return nullptr;
  return std::unique_ptr<T, LocalFreeing>(decodeExtension<T>(type, *extension));
}

}  // namespace

std::vector<std::string> issuerAddresses(PCCERT_CONTEXT certificate) {
  std::vector<std::string> addresses;
  const auto access =
      decodedExtension<CERT_AUTHORITY_INFO_ACCESS>(certificate, szOID_AUTHORITY_INFO_ACCESS, X509_AUTHORITY_INFO_ACCESS);
  if (!access) return addresses;
  for (DWORD i = 0; i < access->cAccDescr; ++i) {
    const CERT_ACCESS_DESCRIPTION& description = access->rgAccDescr[i];
    if (std::string_view(description.pszAccessMethod) != szOID_PKIX_CA_ISSUERS) continue;
    if (description.AccessLocation.dwAltNameChoice == CERT_ALT_NAME_URL)
      keepFetchable(description.AccessLocation.pwszURL, addresses);
  }
  return addresses;
}

std::vector<std::string> revocationListAddresses(PCCERT_CONTEXT certificate) {
  std::vector<std::string> addresses;
  const auto points = decodedExtension<CRL_DIST_POINTS_INFO>(certificate, szOID_CRL_DIST_POINTS, X509_CRL_DIST_POINTS);
  if (!points) return addresses;
  for (DWORD i = 0; i < points->cDistPoint; ++i) {
    const CRL_DIST_POINT_NAME& name = points->rgDistPoint[i].DistPointName;
    if (name.dwDistPointNameChoice != CRL_DIST_POINT_FULL_NAME) continue;
    for (DWORD j = 0; j < name.FullName.cAltEntry; ++j) {
      const CERT_ALT_NAME_ENTRY& entry = name.FullName.rgAltEntry[j];
      if (entry.dwAltNameChoice == CERT_ALT_NAME_URL) keepFetchable(entry.pwszURL, addresses);
    }
  }
  return addresses;
}

}  // namespace tcp::win32
