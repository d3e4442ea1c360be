#include "textops/textops.h"

namespace tcp {

std::string_view CutToken(std::string_view& text, std::string_view separators) {
  // One separator is searched with memchr; the set search goes byte by byte.
  const std::size_t cut = separators.size() == 1 ? text.find(separators.front()) : text.find_first_of(separators);
  std::string_view token = text.substr(0, cut);
  text = cut == std::string_view::npos ? std::string_view() : text.substr(cut + 1);
  return token;
}

}  // namespace tcp
