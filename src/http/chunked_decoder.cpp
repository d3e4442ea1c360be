#include "http/chunked_decoder.h"

#include <algorithm>
#include <optional>

#include "textops/textops.h"

namespace tcp {
namespace {

using Stage = ChunkedDecoder::Stage;

constexpr std::uint64_t kTooLarge = 0x80000000;
constexpr std::uint64_t kBytesAfterData = 2;

// The hexadecimal size at the start of a size line, after one optional "$";
// nothing when the line starts with no digit or spells a size of 80000000 or
// more, however many digits it takes: read modulo 2^32 such a size could pass
// for a small one and let the framing that follows into the body. end is
// where the reading stopped; no LF lies before it.
struct SizeDigits {
  std::optional<std::uint64_t> size;
  std::size_t end = 0;
};

SizeDigits readSizeDigits(std::string_view line) {
  std::size_t at = !line.empty() && line.front() == '$' ? 1 : 0;
  const std::size_t start = at;
  std::uint64_t size = 0;
  for (int digit = 0; at < line.size() && (digit = HexDigit(line[at])) >= 0; ++at) {
    size = size * 16 + static_cast<std::uint64_t>(digit);
    if (size >= kTooLarge) return {std::nullopt, at + 1};
  }
  if (at == start) return {std::nullopt, at};
  return {size, at};
}

// The line at decoder.position up to its LF (not included), moving past the
// LF; nothing, and the search remembered, while the LF has not arrived.
std::optional<std::string_view> takeLine(std::string_view body, ChunkedDecoder& decoder) {
  const std::size_t from = std::max(decoder.position, decoder.searched);
  const std::size_t lf = body.find('\n', from);
  if (lf == std::string_view::npos) {
    decoder.searched = body.size();
    return std::nullopt;
  }
  const std::string_view line = body.substr(decoder.position, lf - decoder.position);
  decoder.position = lf + 1;
  decoder.searched = 0;
  return line;
}

// What the first look at a size line found: whether the line ended near its
// digits, and then its size.
struct NearSizeLine {
  bool ended = false;
  std::optional<std::uint64_t> size;
};

// The first look at a size line reads its size and looks for its LF among
// the few bytes after the digits, where it usually is (right after a CR, or
// after a short extension). When the LF lies further on, decoder.searched
// says how far it is not.
NearSizeLine readNearSizeLine(std::string_view body, ChunkedDecoder& decoder) {
  constexpr std::size_t kNearLf = 16;
  const SizeDigits digits = readSizeDigits(body.substr(decoder.position));
  std::size_t at = decoder.position + digits.end;
  const std::size_t near = std::min(body.size(), at + kNearLf);
  while (at < near && body[at] != '\n') ++at;
  if (at == near) {
    decoder.searched = at;
    return {};
  }
  decoder.position = at + 1;
  return {true, digits.size};
}

// Whether a step was taken; false when the step needs bytes not yet received.
bool readSizeLine(std::string_view body, ChunkedDecoder& decoder) {
  NearSizeLine read;
  if (decoder.searched <= decoder.position) read = readNearSizeLine(body, decoder);
  if (!read.ended) {
    const std::optional<std::string_view> line = takeLine(body, decoder);
    if (!line) return false;
    read.size = readSizeDigits(*line).size;
  }
  if (!read.size) {
    decoder.stage = Stage::Invalid;
  } else if (*read.size == 0) {
    decoder.stage = Stage::Trailer;
  } else {
    decoder.stage = Stage::Data;
    decoder.remaining = *read.size;
  }
  return true;
}

bool skipAfterData(std::string_view body, ChunkedDecoder& decoder) {
  const std::size_t skipped =
      static_cast<std::size_t>(std::min<std::uint64_t>(decoder.remaining, body.size() - decoder.position));
  decoder.position += skipped;
  decoder.remaining -= skipped;
  if (decoder.remaining > 0) return false;
  decoder.stage = Stage::SizeLine;
  return true;
}

bool readTrailerLine(std::string_view body, ChunkedDecoder& decoder) {
  const std::optional<std::string_view> line = takeLine(body, decoder);
  if (!line) return false;
  if (line->empty() || *line == "\r") decoder.stage = Stage::Complete;
  return true;
}

std::string_view takeData(std::string_view body, ChunkedDecoder& decoder) {
  const std::size_t start = decoder.position;
  const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(decoder.remaining, body.size() - start));
  decoder.position += taken;
  decoder.remaining -= taken;
  if (decoder.remaining == 0) {
    decoder.stage = Stage::AfterData;
    decoder.remaining = kBytesAfterData;
  }
  return body.substr(start, taken);
}

}  // namespace

// Every offset is kept within the body, so no size can wrap a position or make
// one go back.
std::string_view NextChunkData(std::string_view body, ChunkedDecoder& decoder) {
  decoder.position = std::min(decoder.position, body.size());
  for (;;) {
    bool stepped = false;
    switch (decoder.stage) {
      case Stage::SizeLine: stepped = readSizeLine(body, decoder); break;
      case Stage::Data: return takeData(body, decoder);
      case Stage::AfterData: stepped = skipAfterData(body, decoder); break;
      case Stage::Trailer: stepped = readTrailerLine(body, decoder); break;
      case Stage::Complete:
      case Stage::Invalid: return {};
    }
    if (!stepped) return {};
  }
}

void DecodeChunked(std::string_view body, std::string& decoded) {
  // The data never outgrows the body: one allocation instead of a copy per doubling.
  decoded.reserve(decoded.size() + body.size());
  ChunkedDecoder decoder;
  for (std::string_view data; !(data = NextChunkData(body, decoder)).empty();) decoded.append(data);
}

}  // namespace tcp
