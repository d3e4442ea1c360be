#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tcp {

// The length a response declares, read from the bytes received so far: the
// value of the first header line called Content-Length (in any letter case)
// in the header block, after optional blanks and tabs, as the run of decimal
// digits that follows (0 when the value does not begin with a digit), without
// wrap-around. A value above kLargestDeclaredLength (a petabyte: beyond any
// real response, and still exact in a double) is no usable length and reads as
// 0, as a missing header does. A line counts once its CR LF has arrived. Returns nothing while
// it cannot tell yet, and 0 once the header block is complete without such a
// line. scan is where the previous call stopped (zeroed at first); the call
// moves it on, so that every byte is looked at about once over all arrivals.
inline constexpr std::uint64_t kLargestDeclaredLength = 1'000'000'000'000'000;

struct LengthScan {
  std::size_t lineStart = 0;  // the first line whose CR LF has not arrived
  std::size_t searched = 0;   // bytes already searched for a CR LF
};
std::optional<double> ReadDeclaredLength(std::string_view received, LengthScan& scan);

}  // namespace tcp
