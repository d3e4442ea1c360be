#include "tcpsocket/certificate_name.h"

#include <optional>

#include "tcpsocket/ipv6_literal.h"

namespace tcp {
namespace {

// Four decimal numbers 0 to 255 without leading zeros, nothing else.
std::optional<std::string> parseIpv4(std::string_view text) {
  std::string bytes;
  unsigned part = 0;
  std::size_t digits = 0;
  for (const char c : text) {
    if (c == '.') {
      if (digits == 0 || bytes.size() == 3) return std::nullopt;
      bytes += static_cast<char>(part);
      part = 0;
      digits = 0;
      continue;
    }
    if (c < '0' || c > '9' || (digits == 1 && part == 0)) return std::nullopt;
    part = part * 10 + static_cast<unsigned>(c - '0');
    if (++digits > 3 || part > 255) return std::nullopt;
  }
  if (bytes.size() != 3 || digits == 0) return std::nullopt;
  return bytes + static_cast<char>(part);
}

// A name whose bytes a DNS name may hold: printable ASCII without spaces.
bool isDnsText(std::string_view name) {
  if (name.empty()) return false;
  for (const char c : name)
    if (c <= ' ' || c > '~') return false;
  return true;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string_view withoutTrailingDot(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  return name;
}

// The presented name against a server name that is a DNS name ("*" never
// appears in it, nor an empty label).
bool dnsNameMatches(std::string_view serverName, std::string_view presented) {
  presented = withoutTrailingDot(presented);
  if (!isDnsText(presented)) return false;
  if (presented.substr(0, 2) != "*.") return equalIgnoringCase(serverName, presented);
  const std::string_view parent = presented.substr(2);
  // Two labels at least under the wildcard: "*.com" names no one.
  const std::size_t dot = parent.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == parent.size()) return false;
  const std::size_t firstDot = serverName.find('.');
  if (firstDot == std::string_view::npos || firstDot == 0) return false;
  return equalIgnoringCase(serverName.substr(firstDot + 1), parent);
}

bool isValidDnsReference(std::string_view name) {
  if (!isDnsText(name) || name.find('*') != std::string_view::npos) return false;
  return name.front() != '.' && name.back() != '.' && name.find("..") == std::string_view::npos;
}

bool anyDnsNameMatches(std::string_view serverName, const std::vector<std::string>& presented) {
  for (const std::string& name : presented)
    if (dnsNameMatches(serverName, name)) return true;
  return false;
}

}  // namespace

std::string IpLiteralBytes(std::string_view name) {
  if (std::optional<std::string> v4 = parseIpv4(name)) return *v4;
  if (const std::optional<Ipv6Address> v6 = ParseIpv6(name))
    return std::string(reinterpret_cast<const char*>(v6->data()), v6->size());
  return {};
}

bool CertificateMatchesName(std::string_view serverName, const CertificateNames& names) {
  const std::string address = IpLiteralBytes(serverName);
  if (!address.empty()) {
    for (const std::string& entry : names.ipAddresses)
      if (entry == address) return true;
    return false;
  }
  serverName = withoutTrailingDot(serverName);
  if (!isValidDnsReference(serverName)) return false;
  return anyDnsNameMatches(serverName, names.dnsNames.empty() ? names.commonNames : names.dnsNames);
}

}  // namespace tcp
