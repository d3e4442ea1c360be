#include "tcpsocket/proxy_tunnel.h"

#include "http/header_fields.h"
#include "http/message_parts.h"
#include "tcpsocket/port_number.h"
#include "textops/textops.h"

namespace tcp {

std::optional<ProxySetting> ParseProxySetting(std::string_view text) {
  ProxySetting proxy;
  const std::size_t at = text.rfind('@');
  if (at != std::string_view::npos) {
    proxy.credentials = text.substr(0, at);
    text.remove_prefix(at + 1);
  }
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || host.find_first_of("[]@ \t\r\n") != std::string_view::npos || text.find('\0') != std::string_view::npos)
    return std::nullopt;
  if (host.find(':') != std::string_view::npos && text.front() != '[') return std::nullopt;
  const std::optional<std::uint16_t> port = ParsePort(text.substr(colon + 1));
  if (!port) return std::nullopt;
  proxy.host = host;
  proxy.port = *port;
  return proxy;
}

std::string ProxyStatusName(int status) { return "TCP_E_PROXY_" + std::to_string(status); }

ProxyTunnel::ProxyTunnel(std::string target, std::string credentials)
    : target_(std::move(target)), credentials_(std::move(credentials)) {}

std::string ProxyTunnel::request() const {
  std::string text = "CONNECT " + target_ + " HTTP/1.1\r\nHost: " + target_ + "\r\n";
  if (!credentials_.empty()) text += "Proxy-Authorization: Basic " + Base64(credentials_) + "\r\n";
  return text + "\r\n";
}

void ProxyTunnel::start(LayerOutput& out) { out.toSend += request(); }

void ProxyTunnel::fail(std::int32_t code) {
  state_ = State::Failed;
  failure_ = code;
  header_.clear();
  held_.clear();
}

// The header block is searched only in the bytes not searched before, and
// never grows past its bound.
void ProxyTunnel::receive(std::string_view bytes, LayerOutput& out) {
  if (state_ == State::Open) out.delivered.append(bytes);
  if (state_ != State::Asking) return;
  const std::size_t searched = header_.size() < 3 ? 0 : header_.size() - 3;
  const std::size_t room = kMostHeaderBytes + kHeaderSeparator.size() - header_.size();
  header_.append(bytes.substr(0, room));
  const std::size_t end = std::string_view(header_).find(kHeaderSeparator, searched);
  if (end == std::string_view::npos) {
    if (header_.size() > kMostHeaderBytes) fail(kProxyHeaderTooLarge);
    return;
  }
  const std::optional<StatusLine> status = ParseStatusLine(FirstLine(header_));
  if (!status) return fail(kProxyBadResponse);
  if (status->code < 200 || status->code > 299) return fail(status->code);
  const std::size_t blockEnd = end + kHeaderSeparator.size();
  const std::size_t consumedBefore = header_.size() - std::min(bytes.size(), room);
  state_ = State::Open;
  header_.clear();
  out.opened = true;
  out.toSend.append(held_);
  held_.clear();
  out.delivered.append(bytes.substr(blockEnd - consumedBefore));
}

void ProxyTunnel::send(std::string_view bytes, LayerOutput& out) {
  switch (state_) {
    case State::Asking: held_.append(bytes); break;
    case State::Open: out.toSend.append(bytes); break;
    case State::Failed: break;
  }
}

void ProxyTunnel::endOfStream(LayerOutput&) {
  if (state_ == State::Asking) fail(kProxyClosed);
}

void ProxyTunnel::close(LayerOutput&) { held_.clear(); }

}  // namespace tcp
