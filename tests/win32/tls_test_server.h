#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <map>
#include <string>

// What the TLS test server (tests/tls/tls_server.py) serves, and where it
// says which ports its listeners took: in the working folder, beside the CA.
namespace tcptest {

inline constexpr std::size_t kTlsBigSize = 16 * 1024 * 1024;
inline const std::string kTlsPage = "<html><body>tcp.dll TLS test page</body></html>\n";
inline constexpr char kTlsCaFile[] = "tls-test-ca.pem";

// Listener name (good, expired, selfsigned, tls13, plain, silent) to port.
inline std::map<std::string, std::uint16_t> TlsServerPorts() {
  std::map<std::string, std::uint16_t> ports;
  std::ifstream lines("tls-server.ports");
  std::string name;
  unsigned port = 0;
  while (lines >> name >> port) ports[name] = static_cast<std::uint16_t>(port);
  return ports;
}

// The body the server sends for /big: a 251-byte block repeated.
inline std::string TlsBigBody() {
  std::string body(kTlsBigSize, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(((i % 251) * 7 + 3) & 0xFF);
  return body;
}

}  // namespace tcptest
