#include "tcpsocket/port_number.h"

namespace tcp {

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
  std::uint32_t port = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9' || (port = port * 10 + static_cast<std::uint32_t>(c - '0')) > 65535) return std::nullopt;
  }
  if (digits.empty() || port == 0) return std::nullopt;
  return static_cast<std::uint16_t>(port);
}

}  // namespace tcp
