#include "textops/marker_search.h"
#include "textops/textops.h"

namespace tcp {

std::size_t FindIndex(std::string_view text, std::string_view marker) {
  if (marker.empty()) {
    const std::size_t zero = text.find('\0');
    return zero != std::string_view::npos ? zero : text.size() - 1;
  }
  return MarkerSearch(marker).next(text, 0);
}

std::int32_t FindText(std::string_view text, std::string_view marker) {
  if (text.empty() && marker.empty()) return 0;
  const std::size_t index = FindIndex(text, marker);
  return index == std::string_view::npos ? -1 : static_cast<std::int32_t>(index + 1);
}

}  // namespace tcp
