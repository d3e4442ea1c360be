#include "tcpsocket/url_fetch.h"

#include <algorithm>
#include <utility>

#include "http/header_fields.h"
#include "http/message_parts.h"
#include "tcpsocket/ipv6_literal.h"
#include "tcpsocket/port_number.h"
#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::string_view kScheme = "http://";
// A header block bigger than this is no answer a certificate authority gives.
constexpr std::size_t kMostHeaderBytes = 64 << 10;
constexpr std::size_t kReadStep = 64 << 10;

bool StartsWithScheme(std::string_view address) {
  return address.size() >= kScheme.size() && EqualIgnoringAsciiCase(address.substr(0, kScheme.size()), kScheme);
}

// Decimal digits only, at most `most`.
std::optional<std::uint64_t> ParseDigits(std::string_view digits, std::uint64_t most) {
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  std::uint64_t value = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(digit - '0');
  }
  if (value > most) return std::nullopt;
  return value;
}

// The one Content-Length of a header block that is not chunked; nothing when
// the length is left to the end of the stream. A length beyond what a fetch
// takes is a failure.
struct DeclaredLength {
  bool declared = false;
  bool acceptable = true;
  std::size_t length = 0;
};
DeclaredLength DeclaredBodyLength(std::string_view header) {
  const std::vector<std::string> lengths = FieldValues(header, "Content-Length");
  if (lengths.empty() || DeclaresChunked(header)) return {};
  const std::optional<std::uint64_t> length = ParseDigits(lengths.front(), UrlFetch::kMostBytes);
  if (lengths.size() != 1 || !length) return {true, false, 0};
  return {true, true, static_cast<std::size_t>(*length)};
}

}  // namespace

std::optional<HttpAddress> ParseHttpAddress(std::string_view address) {
  if (!StartsWithScheme(address)) return std::nullopt;
  const std::string_view rest = address.substr(kScheme.size());
  const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
  const std::string_view authority = rest.substr(0, authorityEnd);
  if (authority.empty() || authority.find('@') != std::string_view::npos) return std::nullopt;
  HttpAddress parsed;
  std::string_view host = authority;
  std::size_t portColon = std::string_view::npos;
  if (authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos || !ParseIpv6(authority.substr(0, close + 1))) return std::nullopt;
    host = authority.substr(1, close - 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return std::nullopt;
      portColon = close + 1;
    }
  } else {
    portColon = authority.find(':');
    host = authority.substr(0, portColon);
  }
  if (host.empty()) return std::nullopt;
  if (portColon != std::string_view::npos) {
    const std::optional<std::uint16_t> port = ParsePort(authority.substr(portColon + 1));
    if (!port) return std::nullopt;
    parsed.port = *port;
  }
  parsed.host = std::string(host);
  parsed.hostField = std::string(authority);
  std::string_view target = rest.substr(authorityEnd);
  target = target.substr(0, target.find('#'));
  parsed.target = target.empty() || target.front() != '/' ? "/" + std::string(target) : std::string(target);
  return parsed;
}

UrlFetch::UrlFetch(SocketSystem& sockets, WindowHandle window, std::string address, std::uint32_t timeoutMs)
    : sockets_(sockets), window_(window), address_(std::move(address)), timeoutMs_(timeoutMs) {}

UrlFetch::~UrlFetch() { closeSocket(); }

std::string UrlFetch::start() {
  if (state_ != State::Idle) return {};
  parsed_ = ParseHttpAddress(address_);
  if (!parsed_) {
    fail();
    return {};
  }
  if (ParseIpv6(parsed_->host) || sockets_.parseAddress(parsed_->host)) {
    connectTo(parsed_->host);
    return {};
  }
  state_ = State::LookingUp;
  return parsed_->host;
}

void UrlFetch::lookedUp(const SocketResult<std::string>& found) {
  if (state_ != State::LookingUp) return;
  if (found.error != 0 || found.value.empty()) return fail();
  connectTo(found.value);
}

void UrlFetch::connectTo(const std::string& host) {
  const std::optional<Ipv6Address> v6 = ParseIpv6(host);
  const std::optional<std::uint32_t> v4 = v6 ? std::nullopt : sockets_.parseAddress(host);
  if (!v6 && !v4) return fail();
  const SocketResult<SocketHandle> opened = v6 ? sockets_.openStream6() : sockets_.openStream();
  if (opened.error != 0) return fail();
  socket_ = opened.value;
  state_ = State::Connecting;
  if (sockets_.selectEvents(socket_, window_) != 0 || sockets_.startTimer(window_, socket_, timeoutMs_) != 0)
    return fail();
  const int error = v6 ? sockets_.connect6(socket_, *v6, parsed_->port) : sockets_.connect(socket_, *v4, parsed_->port);
  if (error != 0 && error != kWouldBlock) return fail();
  request_ = "GET " + parsed_->target + " HTTP/1.0\r\nHost: " + parsed_->hostField +
             "\r\nConnection: close\r\nAccept: */*\r\n\r\n";
}

// The timer bounds each step: it starts again whenever bytes come.
void UrlFetch::onSocketEvent(SocketEvent event, int error) {
  if (state_ != State::Connecting && state_ != State::Reading) return;
  if (event == SocketEvent::Timeout) return fail();
  if (event == SocketEvent::Close) {
    readAvailable();
    return state_ == State::Done ? void() : finish();
  }
  if (error != 0) return fail();
  switch (event) {
    case SocketEvent::Connect:
      state_ = State::Reading;
      return sendRequest();
    case SocketEvent::Write: return sendRequest();
    case SocketEvent::Read: return readAvailable();
    default: return;
  }
}

void UrlFetch::sendRequest() {
  if (state_ != State::Reading) return;
  while (requestSent_ < request_.size()) {
    const SocketResult<std::int32_t> sent = sockets_.send(
        socket_, request_.data() + requestSent_, static_cast<std::int32_t>(request_.size() - requestSent_));
    if (sent.error == kWouldBlock) return;
    if (sent.error != 0 || sent.value <= 0) return fail();
    requestSent_ += static_cast<std::size_t>(sent.value);
  }
}

void UrlFetch::readAvailable() {
  if (state_ != State::Reading) return;
  for (;;) {
    const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
    if (readable.error != 0) return fail();
    if (readable.value == 0) break;
    const std::size_t before = received_.size();
    const std::size_t room = std::min<std::size_t>(readable.value, kReadStep);
    if (before + room > kMostBytes + kMostHeaderBytes) return fail();
    received_.resize(before + room);
    const SocketResult<std::int32_t> got =
        sockets_.receive(socket_, received_.data() + before, static_cast<std::int32_t>(room));
    received_.resize(before + static_cast<std::size_t>(std::max(got.value, 0)));
    if (got.error == kWouldBlock) break;
    if (got.error != 0) return fail();
    if (got.value <= 0) break;  // the end of the stream: its close event finishes
  }
  sockets_.startTimer(window_, socket_, timeoutMs_);
  const std::size_t headerEnd = HeaderBlockEnd(received_);
  if (headerEnd == std::string::npos) {
    if (received_.size() > kMostHeaderBytes) fail();
    return;
  }
  // An answer whose declared length has all come is complete, whether or
  // not the server closes.
  const DeclaredLength declared = DeclaredBodyLength(std::string_view(received_.data(), headerEnd));
  if (!declared.acceptable) return fail();
  if (declared.declared && received_.size() - headerEnd - kHeaderSeparator.size() >= declared.length) finish();
}

// The body of a 200 answer, cut to its declared length, decoded when chunked.
void UrlFetch::finish() {
  closeSocket();
  state_ = State::Done;
  const std::size_t headerEnd = HeaderBlockEnd(received_);
  if (headerEnd == std::string::npos) return fail();
  const std::string_view header(received_.data(), headerEnd);
  const std::optional<StatusLine> status = ParseStatusLine(FirstLine(header));
  if (!status || status->code != 200) return fail();
  const DeclaredLength declared = DeclaredBodyLength(header);
  if (!declared.acceptable) return fail();
  std::string decoded;
  std::string_view body = PayloadOf(received_, decoded);
  if (declared.declared) {
    if (body.size() < declared.length) return fail();
    body = body.substr(0, declared.length);
  }
  if (body.size() > kMostBytes) return fail();
  body_ = std::string(body);
  received_.clear();
  received_.shrink_to_fit();
}

void UrlFetch::fail() {
  closeSocket();
  state_ = State::Done;
  body_.clear();
  received_.clear();
  received_.shrink_to_fit();
}

void UrlFetch::closeSocket() {
  if (socket_ == kNoSocket) return;
  sockets_.stopTimer(window_, socket_);
  sockets_.close(socket_);
  socket_ = kNoSocket;
}

}  // namespace tcp
