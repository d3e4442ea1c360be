#include <charconv>
#include <cmath>

#include "textops/textops.h"

namespace tcp {
namespace {

constexpr int kSignificantDigits = 15;

std::string withoutTrailingZeros(std::string digits) {
  const std::size_t last = digits.find_last_not_of('0');
  digits.erase(last == std::string::npos ? 0 : last + 1);
  return digits;
}

// Places the point in 15 significant digits whose first one stands at the
// given power of ten.
std::string fixedPoint(const std::string& digits, int exponent) {
  if (exponent >= kSignificantDigits - 1)
    return digits + std::string(static_cast<std::size_t>(exponent - (kSignificantDigits - 1)), '0');
  if (exponent >= 0) {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    const std::string fraction = withoutTrailingZeros(digits.substr(whole));
    return digits.substr(0, whole) + (fraction.empty() ? "" : "." + fraction);
  }
  return "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + withoutTrailingZeros(digits);
}

}  // namespace

std::string NumberText(double value) {
  if (value == 0) return "0";
  if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
  // Scientific form with 14 digits after the point is the value rounded to 15
  // significant digits, exactly and ties to even: "d.dddddddddddddde+XX".
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, kSignificantDigits - 1);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  const std::string digits = std::string(text.substr(0, 1)) + std::string(text.substr(2, e - 2));
  std::string_view exponentText = text.substr(e + 1);
  if (exponentText.front() == '+') exponentText.remove_prefix(1);
  int exponent = 0;
  std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
  std::string number = value < 0 ? "-" : "";
  number += fixedPoint(digits, exponent);
  return number;
}

}  // namespace tcp
