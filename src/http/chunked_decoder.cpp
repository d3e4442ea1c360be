#include "http/chunked_decoder.h"

#include <algorithm>
#include <cstdint>

#include "textops/textops.h"

namespace tcp {

// Sizes of 80000000 hexadecimal and above read as negative, as HexValue
// gives them, and end the decoding like the last chunk does. Every offset is
// kept within the body, so no size can wrap a position or make one go back.
std::string_view NextChunk(std::string_view body, ChunkedDecoder& decoder) {
  if (decoder.finished) return {};
  const std::size_t lineEnd = body.find('\n', decoder.position);
  const std::int64_t size =
      lineEnd == std::string_view::npos ? 0 : HexValue(body.substr(decoder.position, lineEnd - decoder.position));
  if (size < 1) {
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
