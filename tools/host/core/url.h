#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tcphost {

// What `tcphost fetch` needs of a URL: scheme://host[:port][/path].
struct Url {
  bool https = false;
  std::string host;  // an IPv6 address without its brackets
  std::uint16_t port = 80;
  std::string path = "/";  // with its query, never empty
};

// Parses an http:// or https:// URL (scheme in any letter case). Returns
// nothing, and the reason in `problem`, for anything else: another scheme,
// an empty host, a port that is not 1 to 65535, blanks or control bytes.
std::optional<Url> ParseUrl(std::string_view text, std::string& problem);

// The URL a reference (a redirect's Location) names, read against base as
// RFC 3986 section 5.2 says: an absolute URL, "//host/path", "/path",
// "?query", or a path relative to base's folder, with "." and ".." segments
// removed. Nothing, and the reason in `problem`, when the result is no URL
// tcphost can fetch.
std::optional<Url> ResolveReference(const Url& base, std::string_view reference, std::string& problem);

// host, or host:port when the port is not the scheme's own: the Host field.
// An IPv6 address stands in brackets there.
std::string Authority(const Url& url);
// A host as a request or a proxy names it: an IPv6 address in brackets.
std::string HostForRequest(const std::string& host);

// Whether two URLs reach the same server the same way, so that one
// connection serves both.
bool SameEndpoint(const Url& a, const Url& b);

}  // namespace tcphost
