// The declared-length reader over arrivals cut at arbitrary points: reading
// growing prefixes with one scan gives what one call on the whole gives, and
// the length is always a finite number.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "http/declared_length.h"

// The input: a count of pieces (below 16), two bytes per piece end, then the
// received bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t pieces = data[0] % 16;
  if (size < 1 + 2 * pieces) return 0;
  std::vector<std::size_t> ends;
  for (std::size_t i = 0; i < pieces; ++i) ends.push_back(data[1 + 2 * i] | data[2 + 2 * i] << 8);
  const std::string received(reinterpret_cast<const char*>(data) + 1 + 2 * pieces, size - 1 - 2 * pieces);
  ends.push_back(received.size());

  tcp::LengthScan wholeScan;
  const std::optional<double> whole = tcp::ReadDeclaredLength(received, wholeScan);
  if (whole && !std::isfinite(*whole)) std::abort();

  tcp::LengthScan scan;
  std::optional<double> stepped;
  std::size_t end = 0;
  for (std::size_t next : ends) {
    end = std::max(end, std::min(next, received.size()));
    stepped = tcp::ReadDeclaredLength(std::string_view(received).substr(0, end), scan);
    if (stepped) break;
  }
  if (stepped.has_value() != whole.has_value() || (stepped && *stepped != *whole)) std::abort();
  return 0;
}
