#include "win32/win32_client_certificate.h"

#include <string>
#include <utility>

namespace tcp::win32 {
namespace {

constexpr TlsCode kInvalidPassword = 0x80070056;  // HRESULT of ERROR_INVALID_PASSWORD
constexpr TlsCode kNoKey = 0x8009000D;            // NTE_NO_KEY
constexpr TlsCode kTooLarge = 0x800700DF;         // HRESULT of ERROR_FILE_TOO_LARGE

// The password as the system wants it: UTF-16 from the ANSI code page, ended
// by a zero.
std::wstring widePassword(std::string_view password) {
  std::wstring wide;
  if (password.empty()) return wide;
  const int length = MultiByteToWideChar(CP_ACP, 0, password.data(), int(password.size()), nullptr, 0);
  if (length <= 0) return wide;
  wide.resize(std::size_t(length));
  MultiByteToWideChar(CP_ACP, 0, password.data(), int(password.size()), wide.data(), length);
  return wide;
}

bool hasProperty(PCCERT_CONTEXT certificate, DWORD property) {
  DWORD size = 0;
  return CertGetCertificateContextProperty(certificate, property, nullptr, &size) != FALSE;
}

bool hasPrivateKey(PCCERT_CONTEXT certificate) {
  return hasProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID) || hasProperty(certificate, CERT_KEY_CONTEXT_PROP_ID) ||
         hasProperty(certificate, CERT_NCRYPT_KEY_HANDLE_PROP_ID);
}

// The keys are held in memory only. A file made without a password may have
// been made with the empty one or with none: both are tried.
HCERTSTORE importStore(std::string_view pkcs12, const std::wstring& password) {
  CRYPT_DATA_BLOB blob = {DWORD(pkcs12.size()), reinterpret_cast<BYTE*>(const_cast<char*>(pkcs12.data()))};
  HCERTSTORE store = PFXImportCertStore(&blob, password.c_str(), PKCS12_NO_PERSIST_KEY);
  if (!store && password.empty() && GetLastError() == ERROR_INVALID_PASSWORD)
    store = PFXImportCertStore(&blob, nullptr, PKCS12_NO_PERSIST_KEY);
  return store;
}

}  // namespace

ClientCertificate::ClientCertificate(ClientCertificate&& other) noexcept
    : store_(std::exchange(other.store_, nullptr)), certificate_(std::exchange(other.certificate_, nullptr)) {}

ClientCertificate& ClientCertificate::operator=(ClientCertificate&& other) noexcept {
  if (this != &other) {
    release();
    store_ = std::exchange(other.store_, nullptr);
    certificate_ = std::exchange(other.certificate_, nullptr);
  }
  return *this;
}

ClientCertificate::~ClientCertificate() { release(); }

void ClientCertificate::release() {
  if (certificate_) CertFreeCertificateContext(certificate_);
  if (store_) CertCloseStore(store_, 0);
  certificate_ = nullptr;
  store_ = nullptr;
}

TlsCode ClientCertificate::load(std::string_view pkcs12, std::string_view password, ClientCertificate& loaded) {
  if (pkcs12.size() > MAXDWORD) return kTooLarge;
  CRYPT_DATA_BLOB blob = {DWORD(pkcs12.size()), reinterpret_cast<BYTE*>(const_cast<char*>(pkcs12.data()))};
  if (!PFXIsPFXBlob(&blob)) return TlsCode(CRYPT_E_BAD_ENCODE);
  ClientCertificate result;
  result.store_ = importStore(pkcs12, widePassword(password));
  // Wine gives no reason when the password does not open the file.
  if (!result.store_) return GetLastError() != 0 ? lastErrorCode() : kInvalidPassword;
  PCCERT_CONTEXT each = nullptr;
  while ((each = CertEnumCertificatesInStore(result.store_, each)) != nullptr)
    if (hasPrivateKey(each)) {
      result.certificate_ = CertDuplicateCertificateContext(each);
      CertFreeCertificateContext(each);
      break;
    }
  if (!result.certificate_) return kNoKey;
  loaded = std::move(result);
  return 0;
}

}  // namespace tcp::win32
