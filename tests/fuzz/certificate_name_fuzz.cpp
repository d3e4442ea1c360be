// The certificate name check over arbitrary server names and name lists,
// against a second reading of the rules: split into labels, the wildcard
// stands for the server name's first label.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "tcpsocket/certificate_name.h"

namespace {

std::string folded(std::string_view name) {
  std::string text(name);
  if (!text.empty() && text.back() == '.') text.pop_back();
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return text;
}

std::vector<std::string> labels(const std::string& name) {
  std::vector<std::string> parts(1);
  for (const char c : name) {
    if (c == '.') parts.emplace_back();
    else parts.back() += c;
  }
  return parts;
}

bool printable(const std::string& name) {
  return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c <= '~'; });
}

bool dnsOracle(std::string_view serverName, const std::vector<std::string>& presented) {
  const std::string server = folded(serverName);
  const std::vector<std::string> serverLabels = labels(server);
  if (server.empty() || !printable(server) || server.find('*') != std::string::npos) return false;
  if (std::any_of(serverLabels.begin(), serverLabels.end(), [](const std::string& l) { return l.empty(); }))
    return false;
  for (const std::string& entry : presented) {
    const std::string name = folded(entry);
    if (name.empty() || !printable(name)) continue;
    if (name == server) return true;
    std::vector<std::string> wild = labels(name);
    if (wild.size() < 3 || wild[0] != "*" || wild.size() != serverLabels.size()) continue;
    if (std::any_of(wild.begin() + 1, wild.end(), [](const std::string& l) { return l.empty(); })) continue;
    wild[0] = serverLabels[0];
    if (wild == serverLabels) return true;
  }
  return false;
}

}  // namespace

// Lines: the server name, then entries, each led by its kind: D (DNS name),
// I (address bytes) or C (common name).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at <= input.size();) {
    const std::size_t end = std::min(input.find('\n', at), input.size());
    lines.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  tcp::CertificateNames names;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    const std::string value(lines[i].substr(1));
    if (lines[i][0] == 'D') names.dnsNames.push_back(value);
    else if (lines[i][0] == 'I') names.ipAddresses.push_back(value);
    else if (lines[i][0] == 'C') names.commonNames.push_back(value);
  }
  const std::string_view serverName = lines[0];
  const bool matches = tcp::CertificateMatchesName(serverName, names);
  const std::string address = tcp::IpLiteralBytes(serverName);
  bool expected = false;
  if (!address.empty())
    expected = std::find(names.ipAddresses.begin(), names.ipAddresses.end(), address) != names.ipAddresses.end();
  else
    expected = dnsOracle(serverName, names.dnsNames.empty() ? names.commonNames : names.dnsNames);
  if (matches != expected) std::abort();
  return 0;
}
