#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tls.h"

namespace tcp::fakes {

// The fake's own record framing: a type byte, a 3-byte big-endian length and
// the payload XORed with kFakeKey, so that plaintext never passes unchanged.
// Types: 'H' handshake, 'D' application data, 'A' alert (close_notify),
// 'R' post-handshake message ("ticket": done at once; "renegotiate": a new
// handshake from the ClientHello on).
inline constexpr char kFakeKey = 0x5A;
inline constexpr std::size_t kFakeHeaderSize = 4;

struct FakeRecord {
  char type;
  std::string payload;
  bool operator==(const FakeRecord&) const = default;
};

std::string fakeRecord(char type, std::string_view payload);
// The whole records at the front of bytes; stops at the first incomplete one.
std::vector<FakeRecord> parseFakeRecords(std::string_view bytes);

// The engine: sessions play the client side of this script, the test plays
// the server:
//   client H "hello <name>"  ->  server H "server hello"
//   client H "finished"      ->  server H "server finished"   (done)
struct FakeTlsSystem : TlsSystem {
  std::unique_ptr<TlsSession> open(const std::string& serverName, TlsCode& error) override;
  TlsCode addTrustedRoot(std::string_view certificate) override;
  TlsCode useClientCertificate(std::string_view pkcs12, std::string_view password) override;

  TlsCode openError = 0;     // open() fails with this when non-zero
  TlsCode peerVerdict = 0;   // what verifyPeer() says about the peer
  // Addresses verifyPeer() asks for, each until it was fetched; the verdict
  // comes once every one was.
  std::vector<std::string> peerWants;
  FetchedObjects fetchedSeen;  // what the last verifyPeer() call was given
  std::size_t maxRecordPayload = 16384;
  int verifyCalls = 0;
  // false: a request for a new handshake is answered with nothing, as a layer
  // that cannot renegotiate does (Wine's waits for more input).
  bool answersRenegotiation = true;
  std::vector<bool> revocationAsked;  // one per verifyPeer() call
  // Data records encrypted, each a step of the sequence the peer checks.
  int recordsMade = 0;
  std::vector<std::string> serverNames;  // one per session opened
  std::vector<std::string> trustedRoots;
  // The file and password taken last; the file is refused when it is not
  // "pkcs12:" followed by the password.
  std::string clientCertificate;
  std::string clientPassword;
};

}  // namespace tcp::fakes
