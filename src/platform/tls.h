#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tcp {

// A security-layer result: 0 for success, else an HRESULT-style code
// (SEC_E_..., CERT_E_..., CRYPT_E_...). Errors travel as values, never through
// a last-error slot.
using TlsCode = std::uint32_t;

// One step of the client handshake.
struct TlsHandshakeStep {
  enum class Status {
    Continue,    // consumed a message; send toSend, then go on with the rest of the input or wait for more
    Incomplete,  // the input holds no whole message yet: nothing consumed, wait for more bytes
    Done,        // the handshake is complete; bytes after `consumed` are already records
    Failed,      // the handshake cannot go on; `error` says why, toSend may hold an alert
  };
  Status status = Status::Failed;
  std::string toSend;
  std::size_t consumed = 0;
  TlsCode error = 0;
};

// One step of taking records apart.
struct TlsDecryptStep {
  enum class Status {
    Data,         // one record consumed; its plaintext (maybe none) was appended
    Incomplete,   // the input holds no whole record yet: nothing consumed
    Closed,       // the peer's close_notify was consumed; nothing more follows
    Renegotiate,  // the peer sent handshake messages: hand the rest of the input to handshake()
    Failed,       // the record is bad or the session is broken; `error` says why
  };
  Status status = Status::Failed;
  std::size_t consumed = 0;
  TlsCode error = 0;
};

// What the library fetched for a certificate check, by address (an issuer's
// certificate, a revocation list): the bytes served there, or none when the
// fetch failed.
using FetchedObjects = std::map<std::string, std::string>;

// A certificate check's answer: a verdict, or the http addresses of what it
// must read first, which the library fetches from its own message loop.
struct PeerVerdict {
  TlsCode code = 0;
  std::vector<std::string> wanted;  // when not empty: fetch these, then check again
};

// The client side of one TLS connection, with its own keys and sequence numbers.
class TlsSession {
 public:
  virtual ~TlsSession() = default;
  // Takes the peer's handshake bytes (none for the first call, which makes the
  // ClientHello) and says what to send and how far the input was used.
  virtual TlsHandshakeStep handshake(std::span<char> input) = 0;
  // Takes apart the first record of input (which it may overwrite), appending
  // its plaintext to `plaintext`.
  virtual TlsDecryptStep decrypt(std::span<char> input, std::string& plaintext) = 0;
  // Appends to `records` the records that carry all of plaintext; 0 or why not.
  virtual TlsCode encrypt(std::string_view plaintext, std::string& records) = 0;
  // The close_notify alert to send before closing; empty when none can be made.
  virtual std::string closeNotify() = 0;
  // Checks the peer's certificate chain and its name against the server name,
  // and, if asked, whether a certificate of the chain was revoked; code 0 when
  // trusted, else the reason (CERT_E_UNTRUSTEDROOT, CERT_E_CN_NO_MATCH...).
  // It never waits on the network: a missing issuer or revocation list is
  // asked for (once per address) and the check runs again with what was
  // fetched. A revocation list that cannot be had leaves the status unknown,
  // which is no refusal.
  virtual PeerVerdict verifyPeer(bool checkRevocation, const FetchedObjects& fetched) = 0;
  // The negotiated protocol and cipher suite as text, for diagnostics.
  virtual std::string connectionInfo() = 0;
};

// The platform's TLS engine.
class TlsSystem {
 public:
  virtual ~TlsSystem() = default;
  // A session for a server of that name (sent as SNI and checked by
  // verifyPeer); nullptr with `error` set when the engine cannot make one.
  virtual std::unique_ptr<TlsSession> open(const std::string& serverName, TlsCode& error) = 0;
  // Trusts a certificate (PEM or DER bytes) as a root for later sessions, in
  // addition to the system's roots; 0 or why it was not taken.
  virtual TlsCode addTrustedRoot(std::string_view certificate) = 0;
  // Takes the certificate and private key of a PKCS#12 file's bytes, opened
  // with password, to offer to servers that ask for one in later sessions;
  // empty bytes forget it. 0 or why it was not taken (the certificate held
  // before stays then).
  virtual TlsCode useClientCertificate(std::string_view pkcs12, std::string_view password) = 0;
};

}  // namespace tcp
