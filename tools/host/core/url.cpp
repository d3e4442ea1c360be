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
  // An IPv6 address stands in brackets, its colons its own.
  std::string_view literal;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos || close == 1 ||
        authority.substr(1, close - 1).find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) {
      problem = "an IPv6 address in a URL stands in brackets: http://[::1]:8080/";
      return std::nullopt;
    }
    literal = authority.substr(1, close - 1);
    authority.remove_prefix(close + 1);
    if (!authority.empty() && authority.front() != ':') {
      problem = "an IPv6 address in a URL stands in brackets: http://[::1]:8080/";
      return std::nullopt;
    }
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
  if (authority.empty() && literal.empty()) {
    problem = "the URL has no host";
    return std::nullopt;
  }
  url.host = literal.empty() ? authority : literal;
  if (!path.empty()) url.path = path.front() == '/' ? std::string(path) : std::string("/").append(path);
  return url;
}

std::string HostForRequest(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

std::string Authority(const Url& url) {
  const bool defaultPort = url.port == (url.https ? 443 : 80);
  const std::string host = HostForRequest(url.host);
  return defaultPort ? host : host + ":" + std::to_string(url.port);
}

bool SameEndpoint(const Url& a, const Url& b) {
  return a.https == b.https && AsciiLower(a.host) == AsciiLower(b.host) && a.port == b.port;
}

namespace {

// RFC 3986 section 5.2.4, on a path that starts with "/".
std::string withoutDotSegments(std::string_view path) {
  std::string output;
  while (!path.empty()) {
    const std::size_t end = std::min(path.find('/', 1), path.size());
    const std::string_view segment = path.substr(0, end);
    path.remove_prefix(end);
    const bool last = path.empty();
    if (segment == "/.") {
      if (last) output += '/';
    } else if (segment == "/..") {
      output.erase(std::min(output.rfind('/'), output.size()));
      if (last) output += '/';
    } else {
      output += segment;
    }
  }
  return output.empty() ? "/" : output;
}

}  // namespace

std::optional<Url> ResolveReference(const Url& base, std::string_view reference, std::string& problem) {
  reference = reference.substr(0, reference.find('#'));
  const std::size_t colon = reference.find(':');
  if (colon != std::string_view::npos && reference.find_first_of("/?") > colon)
    return ParseUrl(reference, problem);
  if (reference.substr(0, 2) == "//") return ParseUrl(std::string(base.https ? "https:" : "http:").append(reference), problem);
  if (reference.find_first_of(" \t\r\n") != std::string_view::npos) {
    problem = "a URL cannot hold blanks or control characters";
    return std::nullopt;
  }
  Url target = base;
  const std::string_view basePath = std::string_view(base.path).substr(0, base.path.find('?'));
  if (reference.empty()) return target;
  if (reference.front() == '?') {
    target.path = std::string(basePath).append(reference);
    return target;
  }
  const std::size_t queryStart = std::min(reference.find('?'), reference.size());
  std::string path(reference.substr(0, queryStart));
  if (path.empty() || path.front() != '/') path = std::string(basePath.substr(0, basePath.rfind('/') + 1)) + path;
  target.path = withoutDotSegments(path).append(reference.substr(queryStart));
  return target;
}

}  // namespace tcphost
