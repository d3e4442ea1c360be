#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tcp {

// For each prefix of marker, the length of its longest proper prefix that is
// also its suffix: the fallback table of the Knuth-Morris-Pratt matcher, with
// which a search or a removal pass looks at each byte a bounded number of times.
inline std::vector<std::size_t> MarkerBorders(std::string_view marker) {
  std::vector<std::size_t> border(marker.size(), 0);
  for (std::size_t i = 1, k = 0; i < marker.size(); ++i) {
    while (k > 0 && marker[i] != marker[k]) k = border[k - 1];
    if (marker[i] == marker[k]) ++k;
    border[i] = k;
  }
  return border;
}

}  // namespace tcp
