// The UTF-8 codec: any UTF-16 units survive encoding and decoding unchanged,
// each in one to three bytes, and decoding arbitrary bytes never gives more
// units than bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "textconv/utf8_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto decoded = tcp::DecodeUtf8(bytes); decoded && decoded->size() > bytes.size()) std::abort();

  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  const std::string encoded = tcp::EncodeUtf8(units);
  if (encoded.size() < units.size() || encoded.size() > 3 * units.size()) std::abort();
  const auto roundTrip = tcp::DecodeUtf8(encoded);
  if (!roundTrip || *roundTrip != units) std::abort();
  return 0;
}
