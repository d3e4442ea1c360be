#pragma once

#include <cstddef>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/tls.h"
#include "tcpsocket/transport_layer.h"

namespace tcp {

// Codes the channel reports on its own.
inline constexpr TlsCode kTlsIncompleteMessage = 0x80090318;  // SEC_E_INCOMPLETE_MESSAGE
inline constexpr TlsCode kTlsIllegalMessage = 0x80090326;     // SEC_E_ILLEGAL_MESSAGE
inline constexpr TlsCode kTlsPackageNotFound = 0x80090305;    // SEC_E_SECPKG_NOT_FOUND
inline constexpr TlsCode kTlsOutOfMemory = 0x8007000E;        // E_OUTOFMEMORY
// The security layer kept answering without taking any of the input.
inline constexpr TlsCode kTlsStalled = 0xA0100030;  // TCP_E_TLS_STALLED
// The peer asked for a new handshake and the security layer had nothing to
// answer it with: the peer would wait for a ClientHello that never comes.
inline constexpr TlsCode kRenegotiationUnsupported = 0xA0100031;  // TCP_E_RENEGOTIATION_UNSUPPORTED

// The plug-in's own reasons for refusing a server certificate that the
// platform's chain check may let through: in the leaf or a certificate that
// issued it (the root aside), a signature over MD5 or SHA-1; an RSA key under
// 2048 bits or an EC key under 256; a leaf whose extended key usage leaves
// out server authentication; an issuer that is not a CA.
inline constexpr TlsCode kWeakSignature = 0xA0100020;  // TCP_E_WEAK_SIGNATURE
inline constexpr TlsCode kWeakKey = 0xA0100021;        // TCP_E_WEAK_KEY
inline constexpr TlsCode kNotForServers = 0xA0100022;  // TCP_E_NOT_FOR_SERVERS
inline constexpr TlsCode kIssuerNotCa = 0xA0100023;    // TCP_E_ISSUER_NOT_CA

// The name of a TLS or certificate code (for example "CERT_E_UNTRUSTEDROOT");
// "0x" and eight hex digits for codes not listed.
std::string TlsErrorName(TlsCode code);

// TLS between a byte stream and its user, as a layer of a connection: takes
// the ciphertext received, delivers the plaintext, and turns plaintext into
// records. Its own buffer of received bytes is the truth; the session only
// ever sees views of it. The check's addresses to fetch come in toFetch.
class TlsChannel final : public TransportLayer {
 public:
  enum class State {
    Idle,           // nothing sent yet; start() begins the handshake
    Handshaking,    // the ClientHello went out; handshake messages are exchanged until the session is done
    Verifying,      // the handshake is done; the check waits for what it asked to be fetched
    Open,           // the handshake (and the check, when asked) succeeded: records carry data both ways
    Renegotiating,  // the peer sent handshake messages while open; plaintext to send waits until they are done
    Closed,         // the peer's close_notify or FIN arrived after the handshake, or close() was called
    Failed,         // the handshake, the check or a record failed; error() says why
  };

  // verify: check the peer's certificate and name once the handshake is done;
  // revocation: and whether a certificate of its chain was revoked.
  TlsChannel(TlsSystem& system, std::string serverName, bool verify, bool revocation = false);

  // Opens the session and appends the ClientHello to out.toSend.
  void start(LayerOutput& out) override;
  // Takes bytes received from the peer.
  void receive(std::string_view ciphertext, LayerOutput& out) override;
  // The peer ended the stream (FIN): a failure while handshaking, else Closed.
  void endOfStream(LayerOutput& out) override;
  // Appends the records for plaintext to out.toSend (held back until open
  // and while renegotiating).
  void send(std::string_view plaintext, LayerOutput& out) override;
  // Appends the close_notify alert to out.toSend when open, and closes.
  void close(LayerOutput& out) override;
  // What was fetched at an address the check asked for (any other is
  // ignored); once every address asked for has its answer, the check runs
  // again.
  void fetched(const std::string& address, std::string bytes, LayerOutput& out) override;

  Kind kind() const override { return Kind::Tls; }
  std::int32_t failure() const override { return static_cast<std::int32_t>(error_); }
  bool ended() const override { return state_ == State::Closed; }
  bool transparentWhenOpen() const override { return false; }
  State state() const { return state_; }
  // Why the channel failed; 0 unless Failed.
  TlsCode error() const { return error_; }
  // The negotiated protocol and cipher suite, once a session exists.
  std::string connectionInfo() const;

  // Received bytes not yet taken apart are bounded: no record or handshake
  // flight needs more.
  static constexpr std::size_t kMaxPendingBytes = 1 << 18;
  // Steps in a row that take none of the input: a handshake or a
  // renegotiation needs a few (an answer, then waiting); more means the
  // layer goes round in circles, and the channel fails with kTlsStalled.
  static constexpr int kMaxStepsWithoutInput = 8;
  // Addresses one check may have fetched: an issuer or two and a revocation
  // list for each certificate. Those asked for beyond it count as failed
  // fetches, so that a chain of strangers' addresses ends.
  static constexpr std::size_t kMaxFetches = 8;

 private:
  // Runs steps while they make progress; each returns whether to go on.
  void process(LayerOutput& out);
  // Runs work; memory running out in it fails the channel with
  // kTlsOutOfMemory, and what out holds already stays for the caller.
  template <typename Work>
  void guarded(Work&& work);
  bool handshakeStep(LayerOutput& out);
  bool decryptStep(LayerOutput& out);
  void finishHandshake(LayerOutput& out);
  void verify(LayerOutput& out);
  void open(LayerOutput& out);
  void consume(std::size_t count);
  void fail(TlsCode code);
  std::span<char> pending();

  TlsSystem& system_;
  std::string serverName_;
  bool verify_;
  bool revocation_;
  std::unique_ptr<TlsSession> session_;
  State state_ = State::Idle;
  TlsCode error_ = 0;
  // Received bytes; those before offset_ are consumed. The consumed front is
  // dropped once per receive, so each byte moves at most once.
  std::string received_;
  std::size_t offset_ = 0;
  std::string heldPlaintext_;
  // The peer's request for a new handshake came, and the layer has not yet
  // been asked for its answer.
  bool renegotiationAsked_ = false;
  FetchedObjects fetched_;
  std::set<std::string> awaited_;  // asked for, not yet answered
};

}  // namespace tcp
