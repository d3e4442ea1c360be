#include "http/declared_length.h"

#include <algorithm>
#include <cstdint>

#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::string_view kLengthName = "content-length";

bool isLengthHeader(std::string_view line) {
  const std::size_t colon = line.find(':');
  return colon != std::string_view::npos && EqualIgnoringAsciiCase(line.substr(0, colon), kLengthName);
}

// Leading zeros cost nothing; a value that outgrows the cap stops the reading,
// so no run of digits can overflow or take more than one pass.
double lengthValue(std::string_view line) {
  std::string_view value = line.substr(kLengthName.size() + 1);
  value.remove_prefix(std::min(value.size(), value.find_first_not_of(" \t")));
  std::uint64_t length = 0;
  for (char c : value) {
    if (c < '0' || c > '9') break;
    length = length * 10 + static_cast<std::uint64_t>(c - '0');
    if (length > kLargestDeclaredLength) return 0;
  }
  return static_cast<double>(length);
}

}  // namespace

std::optional<double> ReadDeclaredLength(std::string_view received, LengthScan& scan) {
  std::size_t end;
  while ((end = received.find("\r\n", std::max(scan.lineStart, scan.searched))) != std::string_view::npos) {
    const std::string_view line = received.substr(scan.lineStart, end - scan.lineStart);
    // Lines end with CR LF, so an empty line after the first closes the block.
    const bool blockEnds = line.empty() && scan.lineStart > 0;
    scan.lineStart = end + 2;
    if (blockEnds) return 0.0;
    if (isLengthHeader(line)) return lengthValue(line);
  }
  // A CR that ends the bytes so far may open the next CR LF.
  scan.searched = received.empty() ? 0 : received.size() - 1;
  return std::nullopt;
}

}  // namespace tcp
