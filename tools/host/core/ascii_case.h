#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace tcphost {

// text with ASCII capitals lowered: URL schemes and header names are ASCII.
inline std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace tcphost
