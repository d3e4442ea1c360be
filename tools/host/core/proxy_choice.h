#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "url.h"

namespace tcphost {

// The proxy a URL is fetched through, as setproxy takes it: "host:port",
// "[IPv6]:port" or "user:password@host:port"; empty for none.
//
// --proxy wins; else the environment as curl reads it: https_proxy (or
// HTTPS_PROXY) for https URLs, http_proxy (lower case only) for http ones,
// then all_proxy (or ALL_PROXY); no_proxy (or NO_PROXY) lists the hosts
// reached directly: "*" for every host, else names (each also covering the
// names under it, with or without a leading dot) and addresses. A proxy
// given as a URL may start with "http://"; its port is 1080 when it names none.
// Nothing, and the reason in `problem`, for a proxy that cannot be read.
using Environment = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProxyFor(const Url& url, const std::string& option, const Environment& environment,
                                    std::string& problem);

// Whether no_proxy's list names the host.
bool BypassesProxy(std::string_view noProxy, std::string_view host);

}  // namespace tcphost
