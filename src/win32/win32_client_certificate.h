#pragma once

#include <string_view>

#include "win32/win32_security.h"

namespace tcp::win32 {

// A client certificate with its private key, taken from a PKCS#12 file into
// memory only: neither the certificate nor the key enters a system store.
class ClientCertificate {
 public:
  ClientCertificate() = default;
  ClientCertificate(ClientCertificate&& other) noexcept;
  ClientCertificate& operator=(ClientCertificate&& other) noexcept;
  ClientCertificate(const ClientCertificate&) = delete;
  ClientCertificate& operator=(const ClientCertificate&) = delete;
  ~ClientCertificate();

  // The first certificate of the file that has its key; 0 with loaded
  // replaced, else why not, with loaded left as it was.
  static TlsCode load(std::string_view pkcs12, std::string_view password, ClientCertificate& loaded);
  // Null when none is held.
  PCCERT_CONTEXT certificate() const { return certificate_; }

 private:
  void release();

  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT certificate_ = nullptr;
};

}  // namespace tcp::win32
