#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace tcp {

// An IPv6 address written as RFC 4291 section 2.2 allows (eight groups of up
// to four hex digits, one "::" for a run of zero groups, a dotted IPv4
// address as the last 32 bits), with or without the brackets a URL puts
// around it. Nothing for any other text, a zone ("%eth0") included.
std::optional<Ipv6Address> ParseIpv6(std::string_view text);

// The address as RFC 5952 writes it: lower-case hex without leading zeros,
// the longest run of two or more zero groups (the first of equals) as "::".
std::string FormatIpv6(const Ipv6Address& address);

// The text without the brackets around an IPv6 address, if it has them.
std::string_view WithoutBrackets(std::string_view text);

}  // namespace tcp
