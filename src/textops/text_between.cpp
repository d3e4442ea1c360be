#include <algorithm>

#include "textops/textops.h"

namespace tcp {

// Without the start marker there is nothing between: the result is empty
// rather than text from wherever a missing position would point. Offsets are
// 64-bit, so markers past 2 GiB are found like any other.
std::string_view TextBetween(std::string_view source, std::string_view start, std::string_view end) {
  if (source.empty()) return {};
  const std::size_t found = FindIndex(source, start);
  if (found == std::string_view::npos) return {};
  const std::string_view after = source.substr(std::min(source.size(), found + start.size()));
  if (after.empty()) return {};
  const std::size_t length = FindIndex(after, end);
  return length == std::string_view::npos ? std::string_view() : after.substr(0, length);
}

std::string_view UntilZero(std::string_view text) { return text.substr(0, text.find('\0')); }

}  // namespace tcp
