#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "session/session.h"

// The plug-in's side of the connection: the commands that drive its one
// TcpClient and the handlers of the client's events, which gather the response
// and tell the host of every event with a click. Commands that need the
// client do nothing while there is none (before the first SetParentWindow and
// after the form is gone).
namespace tcp {

// The form's client: host 127.0.0.1, port 1234, its four events wired to the
// handlers below. What it reads is stored in the platform's address space.
std::unique_ptr<TcpClient> CreateConnectionClient(Session& session);

// The handlers: each writes its code and text to the slots and clicks the host.
void HandleConnected(Session& session);
void HandleDisconnected(Session& session);
// Records code as the last failure, then reports code 3.
void HandleSocketError(Session& session, std::int32_t code);
// Appends the bytes (none for a count of 0 or less), reads the declared length
// while it is pending, and reports code 4 with the progress in percent of the
// declared length, counting every byte since the request. In queued mode the
// progress is the body's share instead, and the response's end is reported.
void HandleDataRead(Session& session, const char* bytes, std::int32_t count);

// Queued mode, after an arrival that found the framing at stage before: code
// 4 with the body's percentage (empty without a declared length), then code 7
// when the response became complete, or code 3 and the connection closed when
// its framing became invalid.
void ReportArrival(Session& session, ResponseFraming::Stage before);
// Queued mode, when the peer closed: code 7 for a body that ended with the
// close, code 3 (kResponseTruncated) for a response cut short, unless a
// failure was reported already.
void ReportResponseAtClose(Session& session, ResponseFraming::Stage before);

// The first address of a host name as dotted text, or why there is none: the
// lookup's error, or the socket layer's when it cannot be started for it.
SocketResult<std::string> ResolveHost(SocketSystem& sockets, const std::string& name);

// Resolves name and reports code 5 with the address, which becomes the
// client's host, or code 6 "no ip" with the lookup's error as the last failure.
// In queued mode it returns at once and the lookup runs in the background;
// a newer sethost or setip leaves its answer unused.
void SetHostByName(Session& session, const std::string& name);
// The client's host becomes address, unchecked (and no longer has a name).
void SetHostAddress(Session& session, const std::string& address);
// A kconect given while a lookup runs waits for its answer: true when it was
// put off (the lookup's end then connects, or reports code 3 with its error).
bool ConnectWaitsForLookup(Session& session);
// The client's port becomes the value's low 16 bits.
void SetPort(Session& session, std::int32_t value);
// Forgets the last failure and connects.
void Connect(Session& session);
void Disconnect(Session& session);
// Opens a new response and sends request, whatever the connection's state.
void SendRequest(Session& session, std::string_view request);
// "host H Port P online|ofline bufer N"; nothing without a client.
std::optional<std::string> StatusText(Session& session);

// The plug-in's own reasons for a response that cannot be read whole.
inline constexpr std::int32_t kResponseTruncated = static_cast<std::int32_t>(0xA0100001);
inline constexpr std::int32_t kBadContentLength = static_cast<std::int32_t>(0xA0100002);
inline constexpr std::int32_t kBadChunkSize = static_cast<std::int32_t>(0xA0100003);
inline constexpr std::int32_t kBadStatusLine = static_cast<std::int32_t>(0xA0100004);

// The name of a failure's code: a Windows Sockets symbol for a positive code,
// TCP_E_PROXY_<status> for a proxy's refusal, a TLS or certificate reason or
// one of the plug-in's own for a negative one, empty for 0.
std::string FailureName(std::int32_t code);
// mode 0 plain TCP, 1 TLS with the certificate checked, 2 TLS unchecked;
// other values change nothing. From the next Connect on.
void SetTls(Session& session, std::int32_t mode, const std::string& serverName);
// The proxy of later connects: "host:port", "[IPv6]:port" or
// "user:password@host:port"; empty for none. Text that names no proxy
// changes nothing. Returns whether the setting changed.
bool SetProxy(Session& session, std::string_view text);
inline constexpr std::int32_t kInvalidProxySetting = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
// Milliseconds; 0 or less for none.
void SetTimeout(Session& session, std::int32_t milliseconds);
// Trusts the certificate (PEM or DER) in the file at path as a root for TLS
// connections; 0 or the code of why not. Files over kMaxCertificateFile are
// refused unread.
inline constexpr std::size_t kMaxCertificateFile = 1 << 20;
std::int32_t TrustCertificateFile(Session& session, const std::string& path);
// Offers the certificate and key of the PKCS#12 file at path, opened with
// password, to servers that ask for one from the next connection on; an empty
// path forgets it. 0 or the code of why not, with the same file bound.
std::int32_t UseClientCertificateFile(Session& session, const std::string& path, std::string_view password);

}  // namespace tcp
