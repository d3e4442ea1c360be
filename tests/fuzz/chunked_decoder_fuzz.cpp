// The chunked decoder on arbitrary bodies: never more bytes out than in, the
// same data and end whether the body comes whole or in arbitrary pieces, a
// body cut anywhere decoding to a prefix of what the whole body decodes to,
// and a size of 80000000 hexadecimal or more ending the decoding as invalid.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/chunked_decoder.h"

namespace {

using Stage = tcp::ChunkedDecoder::Stage;

// Whether the size line at position holds a size of 80000000 hexadecimal or
// more (after one optional "$").
bool hugeSize(std::string_view body, std::size_t position) {
  std::string_view line = body.substr(position);
  if (!line.empty() && line.front() == '$') line.remove_prefix(1);
  std::uint64_t value = 0;
  for (char c : line) {
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value >= 0x80000000u) return true;
  }
  return false;
}

// Feeds body in pieces whose lengths come from the fuzz input, and checks
// every size line as it is reached.
std::string decodeInPieces(std::string_view body, std::string_view lengths, tcp::ChunkedDecoder& decoder) {
  std::string decoded;
  std::size_t end = 0;
  for (std::size_t i = 0; end < body.size(); ++i) {
    end = std::min(body.size(), end + 1 + (i < lengths.size() ? static_cast<unsigned char>(lengths[i]) : 64u));
    const std::string_view received = body.substr(0, end);
    for (;;) {
      const bool atSizeLine = decoder.stage == Stage::SizeLine;
      const std::size_t before = decoder.position;
      const std::string_view data = tcp::NextChunkData(received, decoder);
      if (!data.empty() && (data.data() < body.data() || data.data() + data.size() > received.data() + received.size()))
        std::abort();
      if (decoder.position < before || decoder.position > received.size()) std::abort();
      if (atSizeLine && decoder.position > before && hugeSize(body, before) && decoder.stage != Stage::Invalid)
        std::abort();
      if (data.empty()) break;
      decoded.append(data);
    }
  }
  return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const std::size_t cut = (data[0] | data[1] << 8) % (size - 3);
  const std::size_t split = data[2] % (size - 3);
  const std::string_view input(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string_view lengths = input.substr(0, split);
  const std::string_view body = input.substr(split);

  std::string whole;
  tcp::DecodeChunked(body, whole);
  if (whole.size() > body.size()) std::abort();

  tcp::ChunkedDecoder atOnce;
  while (!tcp::NextChunkData(body, atOnce).empty()) {
  }
  tcp::ChunkedDecoder pieces;
  if (decodeInPieces(body, lengths, pieces) != whole) std::abort();
  if (pieces.stage != atOnce.stage || pieces.position != atOnce.position) std::abort();

  std::string prefix;
  tcp::DecodeChunked(body.substr(0, std::min(cut, body.size())), prefix);
  if (prefix.size() > whole.size() || whole.compare(0, prefix.size(), prefix) != 0) std::abort();
  return 0;
}
