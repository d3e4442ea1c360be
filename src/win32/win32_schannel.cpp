#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

#include "tcpsocket/certificate_name.h"
#include "win32/win32_client_certificate.h"
#include "win32/win32_security.h"
#include "win32/win32_tls.h"

namespace tcp::win32 {
namespace {

constexpr ULONG kRequestFlags = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR;
// The certificate is checked by checkServerCertificate, never by Schannel
// alone (Wine's Schannel does not check it at all), and no client
// certificate is offered but the one setcert gave.
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
constexpr DWORD kAllowedProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
constexpr unsigned char kAlertRecord = 0x15;

// TLS 1.2 and, where the system has it, 1.3 (SCH_CREDENTIALS, Windows 10
// 1809 on); systems without SCH_CREDENTIALS get TLS 1.2 through SCHANNEL_CRED.
TlsCode acquireCredentials(CredHandle& credentials, PCCERT_CONTEXT clientCertificate) {
  char package[] = UNISP_NAME_A;
  TLS_PARAMETERS parameters = {};
  parameters.grbitDisabledProtocols = ~kAllowedProtocols;
  SCH_CREDENTIALS current = {};
  current.dwVersion = SCH_CREDENTIALS_VERSION;
  current.dwFlags = kCredentialFlags;
  current.cTlsParameters = 1;
  current.pTlsParameters = &parameters;
  current.cCreds = clientCertificate ? 1 : 0;
  current.paCred = &clientCertificate;
  if (AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &current, nullptr, nullptr,
                                &credentials, nullptr) == SEC_E_OK)
    return 0;
  SCHANNEL_CRED older = {};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.dwFlags = kCredentialFlags;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  older.cCreds = current.cCreds;
  older.paCred = &clientCertificate;
  return static_cast<TlsCode>(AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &older,
                                                        nullptr, nullptr, &credentials, nullptr));
}

// Moves a buffer Schannel allocated into a string and frees it.
std::string takeBuffer(SecBuffer& buffer) {
  std::string bytes;
  if (buffer.pvBuffer != nullptr) {
    bytes.assign(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
    FreeContextBuffer(buffer.pvBuffer);
    buffer.pvBuffer = nullptr;
  }
  return bytes;
}

// How much of input a call used: all of it but the SECBUFFER_EXTRA it left.
std::size_t consumedOf(std::size_t size, const SecBuffer* buffers, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    if (buffers[i].BufferType == SECBUFFER_EXTRA) return size - std::min<std::size_t>(buffers[i].cbBuffer, size);
  return size;
}

const char* protocolName(DWORD protocol) {
  if (protocol & SP_PROT_TLS1_3_CLIENT) return "TLS 1.3";
  if (protocol & SP_PROT_TLS1_2_CLIENT) return "TLS 1.2";
  if (protocol & SP_PROT_TLS1_1_CLIENT) return "TLS 1.1";
  if (protocol & SP_PROT_TLS1_0_CLIENT) return "TLS 1.0";
  return "an older protocol";
}

class SchannelSession final : public TlsSession {
 public:
  SchannelSession(std::string serverName, HCERTSTORE addedRoots, PCCERT_CONTEXT clientCertificate)
      : serverName_(std::move(serverName)),
        // An address is never sent as the server name indication.
        targetName_(IpLiteralBytes(serverName_).empty() ? serverName_.data() : nullptr),
        addedRoots_(addedRoots ? CertDuplicateStore(addedRoots) : nullptr),
        clientCertificate_(clientCertificate ? CertDuplicateCertificateContext(clientCertificate) : nullptr) {}

  ~SchannelSession() override {
    if (haveContext_) DeleteSecurityContext(&context_);
    if (haveCredentials_) FreeCredentialsHandle(&credentials_);
    if (addedRoots_) CertCloseStore(addedRoots_, 0);
    if (clientCertificate_) CertFreeCertificateContext(clientCertificate_);
  }

  TlsCode acquire() {
    const TlsCode code = acquireCredentials(credentials_, clientCertificate_);
    haveCredentials_ = code == 0;
    return code;
  }

  TlsHandshakeStep handshake(std::span<char> input) override {
    for (;;) {
      // Rebuilt for every call: on SEC_E_INCOMPLETE_MESSAGE Wine overwrites them.
      SecBuffer in[2] = {{ULONG(input.size()), SECBUFFER_TOKEN, input.data()}, {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
      SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
      SecBufferDesc outDesc = {SECBUFFER_VERSION, 2, out};
      ULONG attributes = 0;
      const SECURITY_STATUS status = InitializeSecurityContextA(
          &credentials_, haveContext_ ? &context_ : nullptr, targetName_, requestFlags_, 0, 0,
          haveContext_ ? &inDesc : nullptr, 0, &context_, &outDesc, &attributes, nullptr);
      if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) haveContext_ = true;
      std::string toSend = takeBuffer(out[0]);
      toSend += takeBuffer(out[1]);
      // A server asking for a client certificate when none was given gets none.
      if (status == SEC_I_INCOMPLETE_CREDENTIALS && !(requestFlags_ & ISC_REQ_USE_SUPPLIED_CREDS)) {
        requestFlags_ |= ISC_REQ_USE_SUPPLIED_CREDS;
        continue;
      }
      const std::size_t consumed = consumedOf(input.size(), in, 2);
      if (status == SEC_E_INCOMPLETE_MESSAGE) return {TlsHandshakeStep::Status::Incomplete, "", 0, 0};
      if (status == SEC_I_CONTINUE_NEEDED) return {TlsHandshakeStep::Status::Continue, std::move(toSend), consumed, 0};
      if (status == SEC_E_OK) return finish(std::move(toSend), consumed);
      return {TlsHandshakeStep::Status::Failed, std::move(toSend), consumed, TlsCode(status)};
    }
  }

  TlsDecryptStep decrypt(std::span<char> input, std::string& plaintext) override {
    const bool alertRecord = !input.empty() && static_cast<unsigned char>(input[0]) == kAlertRecord;
    SecBuffer buffers[4] = {{ULONG(input.size()), SECBUFFER_DATA, input.data()},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return {TlsDecryptStep::Status::Incomplete, 0, 0};
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED)
      return {TlsDecryptStep::Status::Failed, 0, TlsCode(status)};
    std::size_t dataBytes = 0;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType != SECBUFFER_DATA) continue;
      plaintext.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
      dataBytes += buffer.cbBuffer;
    }
    const std::size_t consumed = consumedOf(input.size(), buffers, 4);
    if (status == SEC_I_RENEGOTIATE) return {TlsDecryptStep::Status::Renegotiate, consumed, 0};
    // Windows reports the peer's close_notify as SEC_I_CONTEXT_EXPIRED; Wine
    // as an alert record that decrypts to nothing.
    if (status == SEC_I_CONTEXT_EXPIRED || (alertRecord && dataBytes == 0))
      return {TlsDecryptStep::Status::Closed, consumed, 0};
    return {TlsDecryptStep::Status::Data, consumed, 0};
  }

  TlsCode encrypt(std::string_view plaintext, std::string& records) override {
    const std::size_t header = sizes_.cbHeader;
    const std::size_t trailer = sizes_.cbTrailer;
    const std::size_t most = std::max<std::size_t>(sizes_.cbMaximumMessage, 1);
    for (std::size_t at = 0; at < plaintext.size(); at += most) {
      const std::size_t count = std::min(most, plaintext.size() - at);
      const std::size_t start = records.size();
      records.resize(start + header + count + trailer);
      char* record = records.data() + start;
      std::memcpy(record + header, plaintext.data() + at, count);
      SecBuffer buffers[4] = {{ULONG(header), SECBUFFER_STREAM_HEADER, record},
                              {ULONG(count), SECBUFFER_DATA, record + header},
                              {ULONG(trailer), SECBUFFER_STREAM_TRAILER, record + header + count},
                              {0, SECBUFFER_EMPTY, nullptr}};
      SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
      if (status != SEC_E_OK) {
        records.resize(start);
        return TlsCode(status);
      }
      records.resize(start + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    }
    return 0;
  }

  std::string closeNotify() override {
    if (!haveContext_) return {};
    DWORD shutdown = SCHANNEL_SHUTDOWN;
    SecBuffer token = {sizeof shutdown, SECBUFFER_TOKEN, &shutdown};
    SecBufferDesc tokenDesc = {SECBUFFER_VERSION, 1, &token};
    if (ApplyControlToken(&context_, &tokenDesc) != SEC_E_OK) return {};
    SecBuffer out = {0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out};
    ULONG attributes = 0;
    InitializeSecurityContextA(&credentials_, &context_, targetName_, requestFlags_, 0, 0, nullptr, 0,
                               &context_, &outDesc, &attributes, nullptr);
    return takeBuffer(out);
  }

  PeerVerdict verifyPeer(bool checkRevocation, const FetchedObjects& fetched) override {
    PCCERT_CONTEXT certificate = nullptr;
    const SECURITY_STATUS status = QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate);
    if (status != SEC_E_OK || certificate == nullptr)
      return {status != SEC_E_OK ? TlsCode(status) : TlsCode(SEC_E_CERT_UNKNOWN), {}};
    const std::unique_ptr<const CERT_CONTEXT, decltype(&CertFreeCertificateContext)> held(
        certificate, &CertFreeCertificateContext);
    return checkServerCertificate(certificate, serverName_, addedRoots_, checkRevocation, fetched);
  }

  std::string connectionInfo() override {
    SecPkgContext_ConnectionInfo connection = {};
    if (QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK) return {};
    std::array<char, 160> text{};
    std::snprintf(text.data(), text.size(), "%s, cipher 0x%lx (%lu bits), hash 0x%lx, exchange 0x%lx",
                  protocolName(connection.dwProtocol), static_cast<unsigned long>(connection.aiCipher),
                  static_cast<unsigned long>(connection.dwCipherStrength), static_cast<unsigned long>(connection.aiHash),
                  static_cast<unsigned long>(connection.aiExch));
    std::string info = text.data();
    SecPkgContext_CipherInfo cipher = {};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (QueryContextAttributesA(&context_, SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK && cipher.szCipherSuite[0]) {
      info += ", suite ";
      for (const WCHAR* c = cipher.szCipherSuite; *c && c < cipher.szCipherSuite + SZ_ALG_MAX_SIZE; ++c)
        info += *c < 0x80 ? char(*c) : '?';
    }
    return info;
  }

 private:
  // The handshake is done: learn the record sizes, and refuse a protocol
  // below TLS 1.2 that a system ignoring SCH_CREDENTIALS' limits let through.
  TlsHandshakeStep finish(std::string toSend, std::size_t consumed) {
    SECURITY_STATUS status = QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    SecPkgContext_ConnectionInfo connection = {};
    if (status == SEC_E_OK) status = QueryContextAttributesA(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection);
    if (status == SEC_E_OK && !(connection.dwProtocol & kAllowedProtocols)) status = SEC_E_UNSUPPORTED_FUNCTION;
    if (status != SEC_E_OK) return {TlsHandshakeStep::Status::Failed, std::move(toSend), consumed, TlsCode(status)};
    return {TlsHandshakeStep::Status::Done, std::move(toSend), consumed, 0};
  }

  std::string serverName_;
  char* targetName_;
  HCERTSTORE addedRoots_;
  PCCERT_CONTEXT clientCertificate_;
  CredHandle credentials_ = {};
  bool haveCredentials_ = false;
  CtxtHandle context_ = {};
  bool haveContext_ = false;
  ULONG requestFlags_ = kRequestFlags;
  SecPkgContext_StreamSizes sizes_ = {};
};

class SchannelSystem final : public TlsSystem {
 public:
  ~SchannelSystem() override {
    if (roots_) CertCloseStore(roots_, 0);
  }

  std::unique_ptr<TlsSession> open(const std::string& serverName, TlsCode& error) override {
    auto session =
        std::make_unique<SchannelSession>(serverName, hasRoots_ ? roots_ : nullptr, clientCertificate_.certificate());
    error = session->acquire();
    if (error != 0) return nullptr;
    return session;
  }

  TlsCode addTrustedRoot(std::string_view certificate) override {
    if (!roots_) roots_ = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (!roots_) return lastErrorCode();
    std::string der(certificate);
    if (certificate.find("-----BEGIN") != std::string_view::npos) {
      DWORD size = 0;
      if (!CryptStringToBinaryA(certificate.data(), DWORD(certificate.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr))
        return lastErrorCode();
      der.resize(size);
      if (!CryptStringToBinaryA(certificate.data(), DWORD(certificate.size()), CRYPT_STRING_BASE64HEADER,
                                reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr))
        return lastErrorCode();
      der.resize(size);
    }
    if (!CertAddEncodedCertificateToStore(roots_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                          DWORD(der.size()), CERT_STORE_ADD_USE_EXISTING, nullptr))
      return lastErrorCode();
    hasRoots_ = true;
    return 0;
  }

  TlsCode useClientCertificate(std::string_view pkcs12, std::string_view password) override {
    if (pkcs12.empty()) {
      clientCertificate_ = ClientCertificate();
      return 0;
    }
    return ClientCertificate::load(pkcs12, password, clientCertificate_);
  }

 private:
  HCERTSTORE roots_ = nullptr;
  bool hasRoots_ = false;
  ClientCertificate clientCertificate_;
};

}  // namespace

std::unique_ptr<TlsSystem> makeSchannelTls() { return std::make_unique<SchannelSystem>(); }

}  // namespace tcp::win32
