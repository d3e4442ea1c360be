#include "textops/marker_borders.h"
#include "textops/textops.h"

namespace tcp {
namespace {

// Markers up to this length are searched with the library's scan, whose cost
// per byte is bounded by the marker length; longer ones (hosts choose them)
// with Knuth-Morris-Pratt, linear whatever the text and the marker.
constexpr std::size_t kShortMarker = 16;

std::size_t searchLinear(std::string_view text, std::string_view marker) {
  const std::vector<std::size_t> border = MarkerBorders(marker);
  for (std::size_t i = 0, k = 0; i < text.size(); ++i) {
    // With nothing matched yet, jump to the next byte that can start a match.
    if (k == 0) {
      i = text.find(marker[0], i);
      if (i == std::string_view::npos) break;
    }
    while (k > 0 && text[i] != marker[k]) k = border[k - 1];
    if (text[i] == marker[k]) ++k;
    if (k == marker.size()) return i + 1 - k;
  }
  return std::string_view::npos;
}

}  // namespace

std::size_t FindIndex(std::string_view text, std::string_view marker) {
  if (marker.empty()) {
    const std::size_t zero = text.find('\0');
    return zero != std::string_view::npos ? zero : text.size() - 1;
  }
  return marker.size() <= kShortMarker ? text.find(marker) : searchLinear(text, marker);
}

std::int32_t FindText(std::string_view text, std::string_view marker) {
  if (text.empty() && marker.empty()) return 0;
  const std::size_t index = FindIndex(text, marker);
  return index == std::string_view::npos ? -1 : static_cast<std::int32_t>(index + 1);
}

}  // namespace tcp
