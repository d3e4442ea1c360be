#include "url.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "ascii_case.h"

namespace tcphost {

namespace {

bool HasForbiddenByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c <= ' ' || c == 127; });
}

}  // namespace

std::optional<Url> ParseUrl(std::string_view text, std::string& problem) {
  const std::size_t schemeEnd = text.find("://");
  const std::string scheme = AsciiLower(text.substr(0, schemeEnd));
  if (schemeEnd == std::string_view::npos || (scheme != "http" && scheme != "https")) {
    problem = "not an http:// or https:// URL";
    return std::nullopt;
  }
  if (HasForbiddenByte(text)) {
    problem = "a URL cannot hold blanks or control characters";
    return std::nullopt;
  }
  Url url;
  url.https = scheme == "https";
  url.port = url.https ? 443 : 80;
  std::string_view rest = text.substr(schemeEnd + 3);
  const std::size_t pathStart = std::min(rest.find_first_of("/?#"), rest.size());
  std::string_view authority = rest.substr(0, pathStart);
  std::string_view path = rest.substr(pathStart);
  path = path.substr(0, path.find('#'));
  if (authority.find('@') != std::string_view::npos) {
    problem = "user names in URLs are not supported";
    return std::nullopt;
  }
  const std::size_t colon = authority.find(':');
  if (colon != std::string_view::npos) {
    const std::string_view digits = authority.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || port == 0 || port > 65535) {
      problem = "the port must be a number from 1 to 65535";
      return std::nullopt;
    }
    url.port = static_cast<std::uint16_t>(port);
    authority = authority.substr(0, colon);
  }
  if (authority.empty()) {
    problem = "the URL has no host";
    return std::nullopt;
  }
  url.host = authority;
  if (!path.empty()) url.path = path.front() == '/' ? std::string(path) : std::string("/").append(path);
  return url;
}

std::string GetRequest(const Url& url) {
  const bool defaultPort = url.port == (url.https ? 443 : 80);
  const std::string host = defaultPort ? url.host : url.host + ":" + std::to_string(url.port);
  return "GET " + url.path + " HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
}

}  // namespace tcphost
