// FindText against a naive search, with markers of every length (the short
// ones take another path than the long ones).
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "textops/textops.h"

namespace {

std::int32_t naiveFind(std::string_view text, std::string_view marker) {
  if (marker.empty()) {
    const std::size_t zero = text.find('\0');
    return static_cast<std::int32_t>(zero == std::string_view::npos ? text.size() : zero + 1);
  }
  for (std::size_t i = 0; i + marker.size() <= text.size(); ++i)
    if (text.substr(i, marker.size()) == marker) return static_cast<std::int32_t>(i + 1);
  return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = data[0] % size;
  const std::string_view marker = rest.substr(0, split), text = rest.substr(split);
  if (tcp::FindText(text, marker) != naiveFind(text, marker)) std::abort();
  return 0;
}
