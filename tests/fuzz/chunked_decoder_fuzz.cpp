// The chunked decoder on arbitrary bodies: never more bytes out than in, every
// step moves forward inside the body, and a body cut anywhere decodes to a
// prefix of what the whole body decodes to. A size of 80000000 hexadecimal or
// more, however many digits it has, ends the decoding.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/chunked_decoder.h"

namespace {

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t cut = (data[0] | data[1] << 8) % (size - 1);
  const std::string_view body(reinterpret_cast<const char*>(data) + 2, size - 2);

  std::string whole;
  tcp::DecodeChunked(body, whole);
  if (whole.size() > body.size()) std::abort();

  std::string stepped;
  for (tcp::ChunkedDecoder decoder; !decoder.finished;) {
    const std::size_t before = decoder.position;
    const bool mustEnd = hugeSize(body, before) && body.find('\n', before) != std::string_view::npos;
    const std::string_view chunk = tcp::NextChunk(body, decoder);
    if (!chunk.empty() && (chunk.data() < body.data() || chunk.data() + chunk.size() > body.data() + body.size()))
      std::abort();
    if (!decoder.finished && (decoder.position <= before || decoder.position > body.size())) std::abort();
    if (mustEnd && !decoder.finished) std::abort();
    stepped.append(chunk);
  }
  if (stepped != whole) std::abort();

  std::string prefix;
  tcp::DecodeChunked(body.substr(0, cut), prefix);
  if (whole.compare(0, prefix.size(), prefix) != 0 || prefix.size() > whole.size()) std::abort();
  return 0;
}
