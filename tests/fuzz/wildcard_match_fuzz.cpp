// The wildcard matcher against a plain dynamic-programming matcher.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "http/header_lines.h"

namespace {

bool naiveMatch(std::string_view text, std::string_view mask) {
  // matches[j]: whether the first i bytes of text match the first j of mask.
  std::vector<char> matches(mask.size() + 1, 0);
  matches[0] = 1;
  for (std::size_t j = 1; j <= mask.size() && mask[j - 1] == '*'; ++j) matches[j] = 1;
  for (char c : text) {
    std::vector<char> next(mask.size() + 1, 0);
    for (std::size_t j = 1; j <= mask.size(); ++j) {
      if (mask[j - 1] == '*') next[j] = next[j - 1] || matches[j];
      else next[j] = matches[j - 1] && (mask[j - 1] == '?' || mask[j - 1] == c);
    }
    matches.swap(next);
  }
  return matches[mask.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 512) return 0;
  const std::size_t split = data[0] % size;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view mask = rest.substr(0, split), text = rest.substr(split);
  if (tcp::WildcardMatch(text, mask) != naiveMatch(text, mask)) std::abort();
  return 0;
}
