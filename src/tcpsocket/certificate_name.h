#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tcp {

// The names a server certificate holds: its subjectAltName's DNS names and
// IP addresses (4 or 16 bytes each), and its subject's common names. DNS
// names are ASCII (an internationalised name in its A-label form).
struct CertificateNames {
  std::vector<std::string> dnsNames;
  std::vector<std::string> ipAddresses;
  std::vector<std::string> commonNames;
};

// Whether a certificate with those names belongs to serverName (as the host
// gave it, an IPv6 address with or without brackets). A DNS name matches
// ignoring ASCII case, one trailing dot aside; "*" as the whole leftmost
// label stands for exactly one label, but not directly above a single label
// ("*.com"). An IPv4 or IPv6 address matches only an address entry with the
// same bytes. The common names count only when there is no DNS name at all.
bool CertificateMatchesName(std::string_view serverName, const CertificateNames& names);

// The bytes of an IP literal (dotted IPv4: 4 bytes; IPv6: 16), empty for any
// other name: such a name is not sent as the server name indication.
std::string IpLiteralBytes(std::string_view name);

}  // namespace tcp
