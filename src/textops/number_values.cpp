#include "textops/textops.h"

namespace tcp {

std::int32_t DecimalValue(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
  }
  return static_cast<std::int32_t>(negative ? 0u - value : value);
}

std::int32_t HexValue(std::string_view text) {
  if (!text.empty() && text.front() == '$') text.remove_prefix(1);
  std::uint32_t value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16u + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace tcp
