#include "http/chunked_decoder.h"

#include <algorithm>
#include <cstdint>

#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::uint64_t kTooLarge = 0x80000000;

// The hexadecimal size at the start of a size line, after one optional "$".
// A size of 80000000 or more, however many digits spell it, reads as 0 and so
// ends the decoding: read modulo 2^32 it could pass for a small size and let
// the framing that follows into the body.
std::uint64_t chunkSize(std::string_view line) {
  if (!line.empty() && line.front() == '$') line.remove_prefix(1);
  std::uint64_t size = 0;
  for (char c : line) {
    const int digit = HexDigit(c);
    if (digit < 0) break;
    size = size * 16 + static_cast<std::uint64_t>(digit);
    if (size >= kTooLarge) return 0;
  }
  return size;
}

}  // namespace

// Every offset is kept within the body, so no size can wrap a position or make
// one go back.
std::string_view NextChunk(std::string_view body, ChunkedDecoder& decoder) {
  if (decoder.finished) return {};
  const std::size_t lineEnd = body.find('\n', decoder.position);
  const std::uint64_t size =
      lineEnd == std::string_view::npos ? 0 : chunkSize(body.substr(decoder.position, lineEnd - decoder.position));
  if (size == 0) {
    decoder.finished = true;
    return {};
  }
  const std::size_t start = lineEnd + 1;
  const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(size, body.size() - start));
  decoder.position = start + std::min<std::size_t>(taken + 2, body.size() - start);
  return body.substr(start, taken);
}

void DecodeChunked(std::string_view body, std::string& decoded) {
  // The data never outgrows the body: one allocation instead of a copy per doubling.
  decoded.reserve(decoded.size() + body.size());
  for (ChunkedDecoder decoder; !decoder.finished;) decoded.append(NextChunk(body, decoder));
}

}  // namespace tcp
