#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tcphost {

// What `tcphost fetch` needs of a URL: scheme://host[:port][/path].
struct Url {
  bool https = false;
  std::string host;
  std::uint16_t port = 80;
  std::string path = "/";  // with its query, never empty
};

// Parses an http:// or https:// URL (scheme in any letter case). Returns
// nothing, and the reason in `problem`, for anything else: another scheme,
// an empty host, a port that is not 1 to 65535, blanks or control bytes.
std::optional<Url> ParseUrl(std::string_view text, std::string& problem);

// The request tcphost sends: GET with Host and Connection: close.
std::string GetRequest(const Url& url);

}  // namespace tcphost
