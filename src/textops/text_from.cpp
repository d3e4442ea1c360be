#include "textops/textops.h"

namespace tcp {

std::string_view TextFrom(std::string_view text, std::int32_t position) {
  const std::size_t start = position < 1 ? 0 : static_cast<std::size_t>(position) - 1;
  return start >= text.size() ? std::string_view() : text.substr(start);
}

}  // namespace tcp
