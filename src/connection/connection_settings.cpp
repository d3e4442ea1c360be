#include "connection/connection.h"

namespace tcp {

std::string FailureName(std::int32_t code) {
  if (code == 0) return {};
  if (code < 0) return TlsErrorName(static_cast<TlsCode>(code));
  if (IsProxyStatus(code)) return ProxyStatusName(code);
  return SocketErrorSymbol(code);
}

bool SetProxy(Session& session, std::string_view text) {
  TcpClient* client = session.client();
  if (!client) return false;
  if (text.empty()) {
    client->setProxy(std::nullopt);
    return true;
  }
  std::optional<ProxySetting> proxy = ParseProxySetting(text);
  if (!proxy) return false;
  client->setProxy(std::move(proxy));
  return true;
}

void SetTls(Session& session, std::int32_t mode, const std::string& serverName) {
  TcpClient* client = session.client();
  if (!client || mode < 0 || mode > 3) return;
  client->setTls({static_cast<TlsSetting::Mode>(mode), serverName});
}

void SetTimeout(Session& session, std::int32_t milliseconds) {
  if (TcpClient* client = session.client()) client->setTimeout(milliseconds > 0 ? std::uint32_t(milliseconds) : 0);
}

std::int32_t TrustCertificateFile(Session& session, const std::string& path) {
  if (!session.platform.tls) return static_cast<std::int32_t>(kTlsPackageNotFound);
  const FileSystem::ReadResult file = session.platform.files->readFile(path, kMaxCertificateFile);
  if (file.error != 0) return static_cast<std::int32_t>(file.error);
  return static_cast<std::int32_t>(session.platform.tls->addTrustedRoot(file.bytes));
}

std::int32_t UseClientCertificateFile(Session& session, const std::string& path, std::string_view password) {
  if (!session.platform.tls) return static_cast<std::int32_t>(kTlsPackageNotFound);
  if (path.empty()) return static_cast<std::int32_t>(session.platform.tls->useClientCertificate({}, {}));
  const FileSystem::ReadResult file = session.platform.files->readFile(path, kMaxCertificateFile);
  if (file.error != 0) return static_cast<std::int32_t>(file.error);
  return static_cast<std::int32_t>(session.platform.tls->useClientCertificate(file.bytes, password));
}

}  // namespace tcp
