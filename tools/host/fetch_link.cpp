#include "fetch_link.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "console_text.h"
#include "proxy_choice.h"

namespace tcphost {

namespace {

constexpr int kPumpMs = 100;

}  // namespace

FetchLink::FetchLink(Session& session, const FetchOptions& options)
    : session_(session), plugin_(session.plugin()), options_(options) {}

std::string FetchLink::where() const {
  return endpoint_ ? endpoint_->host + ":" + std::to_string(endpoint_->port) : std::string();
}

std::string FetchLink::slotAfter(const char* command, const std::string& text) {
  plugin_.setFile(text);
  plugin_.command(command);
  return plugin_.getFile();
}

std::string FetchLink::reason() {
  if (!plugin_.has("lasterror")) return {};
  const std::string name = slotAfter("lasterror");
  return name.empty() ? std::string() : ": " + name;
}

const Notification& FetchLink::take() {
  const Notification& event = session_.host().notifications()[seen_++];
  if (options_.verbose) sayLine(eventLine(event.code, event.text));
  if (event.code == TCP_EVENT_DISCONNECTED || event.code == TCP_EVENT_ERROR) endpoint_.reset();
  return event;
}

std::optional<Notification> FetchLink::await(std::initializer_list<std::int32_t> codes,
                                              const std::function<void()>& idle) {
  const auto& events = session_.host().notifications();
  ULONGLONG lastActivity = GetTickCount64();
  const ULONGLONG limit = static_cast<ULONGLONG>(options_.timeoutSeconds) * 1000;
  for (;;) {
    session_.host().pumpUntil([&] { return events.size() > seen_; }, kPumpMs);
    while (seen_ < events.size()) {
      lastActivity = GetTickCount64();
      const Notification& event = take();
      for (const std::int32_t code : codes)
        if (event.code == code) return event;
    }
    if (GetTickCount64() - lastActivity >= limit) return std::nullopt;
    if (idle) idle();
  }
}

// A kept connection is reused only while the library still calls it online:
// a server that closed it gets a new one.
bool FetchLink::live(const Url& url) {
  session_.host().pumpFor(0);
  while (seen_ < session_.host().notifications().size()) take();
  return endpoint_ && SameEndpoint(*endpoint_, url) && slotAfter("status").find(" online ") != std::string::npos;
}

bool FetchLink::reach(const Url& url, bool& reused) {
  reused = queued() && live(url);
  if (reused) return true;
  close();
  endpoint_ = url;
  return chooseProxy(url) && startTls(url) && resolve(url) && connect(url);
}

// Through a proxy the name need not resolve here: the proxy resolves it.
bool FetchLink::chooseProxy(const Url& url) {
  std::string problem;
  const auto environment = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const std::optional<std::string> proxy = ProxyFor(url, options_.proxy, environment, problem);
  if (!proxy) {
    sayLine("tcphost: " + problem);
    return false;
  }
  proxied_ = !proxy->empty();
  if (!plugin_.has("setproxy")) {
    if (!proxied_) return true;
    sayLine("tcphost: proxies are not supported by this tcp.dll");
    return false;
  }
  slotAfter("setproxy", *proxy);
  if (plugin_.getData() == 0) return true;
  sayLine("tcphost: tcp.dll cannot use the proxy " + *proxy);
  return false;
}

void FetchLink::close() {
  if (endpoint_) plugin_.command("disconect");
  endpoint_.reset();
}

bool FetchLink::startTls(const Url& url) {
  if (!plugin_.has("settls")) {
    if (!url.https) return true;
    sayLine("tcphost: https is not supported by this tcp.dll");
    return false;
  }
  if (url.https && !options_.cacert.empty()) slotAfter("addca", options_.cacert);
  if (url.https && !options_.cert.empty() && !offerCertificate()) return false;
  plugin_.setData(!url.https ? 0 : options_.insecure ? 2 : 1);
  slotAfter("settls", url.host);
  return true;
}

// The password is the text before the file's name.
bool FetchLink::offerCertificate() {
  if (!plugin_.has("setcert")) {
    sayLine("tcphost: client certificates are not supported by this tcp.dll");
    return false;
  }
  plugin_.setFile(options_.pass);
  slotAfter("setcert", options_.cert);
  const std::int32_t code = plugin_.getData();
  if (code == 0) return true;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
  sayLine("tcphost: tcp.dll cannot use the certificate " + options_.cert + " (" + hex + ")");
  return false;
}

bool FetchLink::resolve(const Url& url) {
  plugin_.setFile(url.host);
  plugin_.command("sethost");
  const auto event = await({TCP_EVENT_RESOLVED, TCP_EVENT_NOT_RESOLVED}, nullptr);
  if (!event) {
    sayLine("tcphost: no answer from the resolver for " + url.host + " within " +
            std::to_string(options_.timeoutSeconds) + " s");
  } else if (event->code == TCP_EVENT_NOT_RESOLVED && !proxied_) {
    sayLine("tcphost: cannot resolve host " + url.host + reason());
  }
  return event && (event->code == TCP_EVENT_RESOLVED || proxied_);
}

bool FetchLink::connect(const Url& url) {
  plugin_.setData(url.port);
  plugin_.command("setport");
  plugin_.command("kconect");
  const std::string target = url.host + ":" + std::to_string(url.port);
  const auto event = await({TCP_EVENT_CONNECTED, TCP_EVENT_ERROR}, nullptr);
  if (!event) {
    sayLine("tcphost: cannot connect to " + target + ": no answer within " + std::to_string(options_.timeoutSeconds) +
            " s");
  } else if (event->code == TCP_EVENT_ERROR) {
    sayLine("tcphost: cannot connect to " + target + reason());
  }
  if (event && event->code == TCP_EVENT_CONNECTED) {
    endpoint_ = url;
    return true;
  }
  endpoint_.reset();
  return false;
}

}  // namespace tcphost
