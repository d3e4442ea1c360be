// tcphost fetch over https against the TLS test server (tests/tls): its ports
// and the test CA are in the working folder, as the TLS tests find them.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>

#include "console_process.h"
#include "tls_test_server.h"

using tcptest::Describe;
using tcptest::kTcphost;
using tcptest::kTlsPage;
using tcptest::ProgramRun;
using tcptest::ReadFile;
using tcptest::RunProgram;
using tcptest::TlsServerPorts;

namespace {


std::string Url(const char* listener, const char* path) {
  return "https://localhost:" + std::to_string(TlsServerPorts()[listener]) + path;
}

TEST(TcphostHttps, FetchesAPageAndSavesALargeBodyExactlyWithTheTestCa) {
  ASSERT_FALSE(TlsServerPorts().empty()) << "the TLS test server is not running";
  const ProgramRun page = RunProgram(kTcphost + " fetch " + Url("good", "/page") + " --cacert tls-test-ca.pem");
  EXPECT_EQ(page.status, 0u) << Describe(page);
  EXPECT_NE(page.out.find("HTTP/1.1 200 OK"), std::string::npos) << Describe(page);
  EXPECT_EQ(page.out.substr(page.out.size() - kTlsPage.size()), kTlsPage) << Describe(page);

  DeleteFileA("https-big.bin");
  const ProgramRun big =
      RunProgram(kTcphost + " fetch " + Url("good", "/big") + " --cacert tls-test-ca.pem -o https-big.bin", 120000);
  EXPECT_EQ(big.status, 0u) << Describe(big);
  const std::string saved = ReadFile("https-big.bin");
  ASSERT_EQ(saved.size(), 16u << 20);
  for (std::size_t i = 0; i < saved.size(); ++i)
    ASSERT_EQ(static_cast<unsigned char>(saved[i]), (i % 251 * 7 + 3) % 256) << "at byte " << i;
  DeleteFileA("https-big.bin");
}

TEST(TcphostHttps, ARejectedCertificatePrintsItsReasonAndInsecureTakesIt) {
  const ProgramRun untrusted = RunProgram(kTcphost + " fetch " + Url("selfsigned", "/page"));
  EXPECT_EQ(untrusted.status, 1u) << Describe(untrusted);
  EXPECT_NE(untrusted.err.find("CERT_E_UNTRUSTEDROOT"), std::string::npos) << Describe(untrusted);

  const ProgramRun insecure = RunProgram(kTcphost + " fetch " + Url("selfsigned", "/page") + " --insecure");
  EXPECT_EQ(insecure.status, 0u) << Describe(insecure);
  EXPECT_EQ(insecure.out.substr(insecure.out.size() - kTlsPage.size()), kTlsPage) << Describe(insecure);

  const ProgramRun expired = RunProgram(kTcphost + " fetch " + Url("expired", "/page") + " --cacert tls-test-ca.pem");
  EXPECT_EQ(expired.status, 1u) << Describe(expired);
  EXPECT_NE(expired.err.find("CERT_E_EXPIRED"), std::string::npos) << Describe(expired);
}

TEST(TcphostHttps, CertOffersAClientCertificateToAServerThatAsksForOne) {
  const std::string url = Url("clientauth", "/whoami") + " --cacert tls-test-ca.pem";
  const ProgramRun without = RunProgram(kTcphost + " fetch " + url);
  EXPECT_EQ(without.status, 1u) << Describe(without);

  const ProgramRun with = RunProgram(kTcphost + " fetch -s " + url + " --cert tls-client.p12 --pass \"client secret\"");
  EXPECT_EQ(with.status, 0u) << Describe(with);
  EXPECT_NE(with.out.find("\r\n\r\ntcp.dll test client"), std::string::npos) << Describe(with);

  const ProgramRun wrong = RunProgram(kTcphost + " fetch " + url + " --cert tls-client.p12 --pass wrong");
  EXPECT_EQ(wrong.status, 1u) << Describe(wrong);
  EXPECT_NE(wrong.err.find("cannot use the certificate tls-client.p12 (0x80070056)"), std::string::npos)
      << Describe(wrong);
}

}  // namespace
