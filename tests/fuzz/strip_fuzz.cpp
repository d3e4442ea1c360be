// strip over arbitrary texts and markers: the one-pass removal in place gives
// what removing the first occurrence again and again gives.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "textops/textops.h"

namespace {

std::string slowStrip(std::string text, const std::string& marker) {
  if (marker.empty()) return text;
  for (std::size_t at; (at = text.find(marker)) != std::string::npos;) text.erase(at, marker.size());
  return text;
}

}  // namespace

// The input: one byte for the marker's length, the marker, then the text. The
// slow removal is quadratic, so texts are kept short.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string marker = input.substr(0, std::min<std::size_t>(data[0] % 24, input.size()));
  std::string text = input.substr(marker.size());
  const std::string expected = slowStrip(text, marker);
  tcp::StripMarker(text, marker);
  if (text != expected) std::abort();
  return 0;
}
