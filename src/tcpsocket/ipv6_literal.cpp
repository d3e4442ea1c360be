#include "tcpsocket/ipv6_literal.h"

#include <vector>

namespace tcp {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four decimal numbers 0 to 255 without leading zeros, as the last 32 bits.
bool parseDottedTail(std::string_view text, std::vector<std::uint16_t>& groups) {
  unsigned parts[4] = {};
  std::size_t part = 0, digits = 0;
  for (const char c : text) {
    if (c == '.') {
      if (digits == 0 || ++part == 4) return false;
      digits = 0;
      continue;
    }
    if (c < '0' || c > '9' || (digits == 1 && parts[part] == 0)) return false;
    parts[part] = parts[part] * 10 + static_cast<unsigned>(c - '0');
    if (++digits > 3 || parts[part] > 255) return false;
  }
  if (part != 3 || digits == 0) return false;
  groups.push_back(static_cast<std::uint16_t>(parts[0] << 8 | parts[1]));
  groups.push_back(static_cast<std::uint16_t>(parts[2] << 8 | parts[3]));
  return true;
}

// The groups of one side of "::" (or of the whole address without one).
bool parseGroups(std::string_view text, bool mayEndDotted, std::vector<std::uint16_t>& groups) {
  if (text.empty()) return true;
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    const std::string_view group = text.substr(start, colon == std::string_view::npos ? text.npos : colon - start);
    const bool last = colon == std::string_view::npos;
    if (last && mayEndDotted && group.find('.') != std::string_view::npos) return parseDottedTail(group, groups);
    if (group.empty() || group.size() > 4) return false;
    unsigned value = 0;
    for (const char c : group) {
      const int digit = hexValue(c);
      if (digit < 0) return false;
      value = value << 4 | static_cast<unsigned>(digit);
    }
    groups.push_back(static_cast<std::uint16_t>(value));
    if (last) return true;
    if (groups.size() > 8) return false;
    start = colon + 1;
  }
}

}  // namespace

std::string FormatIpv6(const Ipv6Address& address) {
  std::uint16_t groups[8];
  for (std::size_t i = 0; i < 8; ++i) groups[i] = static_cast<std::uint16_t>(address[2 * i] << 8 | address[2 * i + 1]);
  std::size_t runStart = 8, runLength = 0;
  for (std::size_t i = 0; i < 8;) {
    std::size_t j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > runLength && j - i >= 2) {
      runStart = i;
      runLength = j - i;
    }
    i = j == i ? i + 1 : j;
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < 8; ++i) {
    if (i == runStart) {
      text += "::";
      i += runLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    bool leading = true;
    for (int shift = 12; shift >= 0; shift -= 4) {
      const int digit = groups[i] >> shift & 0xF;
      if (leading && digit == 0 && shift > 0) continue;
      leading = false;
      text += kHex[digit];
    }
  }
  return text;
}

std::string_view WithoutBrackets(std::string_view text) {
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']') return text.substr(1, text.size() - 2);
  return text;
}

std::optional<Ipv6Address> ParseIpv6(std::string_view text) {
  text = WithoutBrackets(text);
  if (text.size() > 45) return std::nullopt;
  std::vector<std::uint16_t> head, tail;
  const std::size_t gap = text.find("::");
  if (gap == std::string_view::npos) {
    if (!parseGroups(text, true, head) || head.size() != 8) return std::nullopt;
  } else {
    if (text.find("::", gap + 1) != std::string_view::npos) return std::nullopt;
    if (!parseGroups(text.substr(0, gap), false, head) || !parseGroups(text.substr(gap + 2), true, tail)) return std::nullopt;
    if (head.size() + tail.size() > 7) return std::nullopt;
  }
  Ipv6Address address{};
  std::size_t at = 0;
  for (const std::uint16_t group : head) {
    address[at++] = static_cast<std::uint8_t>(group >> 8);
    address[at++] = static_cast<std::uint8_t>(group & 0xFF);
  }
  at = 16 - 2 * tail.size();
  for (const std::uint16_t group : tail) {
    address[at++] = static_cast<std::uint8_t>(group >> 8);
    address[at++] = static_cast<std::uint8_t>(group & 0xFF);
  }
  return address;
}

}  // namespace tcp
