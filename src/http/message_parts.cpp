#include "http/message_parts.h"

#include <cstring>
#include <utility>

#include "http/chunked_decoder.h"
#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Whether line is a header line called name (in any letter case); if so,
// value receives what follows its colon.
bool headerValue(std::string_view line, std::string_view name, std::string_view& value) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || !EqualIgnoringAsciiCase(trimmed(line.substr(0, colon)), name)) return false;
  value = line.substr(colon + 1);
  return true;
}

}  // namespace

std::size_t HeaderBlockEnd(std::string_view response) { return response.find(kHeaderSeparator); }

std::string_view MessageBody(std::string_view response) {
  const std::size_t end = HeaderBlockEnd(response);
  return end == std::string_view::npos ? std::string_view() : response.substr(end + kHeaderSeparator.size());
}

std::string_view BodyAfterFirstLine(std::string_view response) {
  std::string_view body = MessageBody(response);
  CutToken(body, "\n");
  return body;
}

bool HeaderBlockText(std::string_view response, std::string& text) {
  const std::size_t end = HeaderBlockEnd(response);
  if (end == std::string_view::npos) return false;
  text.assign(response.substr(0, end));
  text += '\0';
  return true;
}

bool DeclaresChunked(std::string_view headerBlock) {
  bool chunked = false;
  while (!headerBlock.empty()) {
    const std::string_view line = CutToken(headerBlock, "\n");
    std::string_view value;
    if (!headerValue(line, "Transfer-Encoding", value)) continue;
    const std::size_t comma = value.rfind(',');
    const std::string_view lastCoding = comma == std::string_view::npos ? value : value.substr(comma + 1);
    chunked = EqualIgnoringAsciiCase(trimmed(lastCoding.substr(0, lastCoding.find_first_of(";\r"))), "chunked");
  }
  return chunked;
}

std::string_view PayloadOf(std::string_view response, std::string& decoded) {
  decoded.clear();
  const std::size_t end = HeaderBlockEnd(response);
  if (end == std::string_view::npos) return {};
  const std::string_view body = response.substr(end + kHeaderSeparator.size());
  if (!DeclaresChunked(response.substr(0, end))) return body;
  DecodeChunked(body, decoded);
  return decoded;
}

PayloadPieces::PayloadPieces(std::string_view response) {
  const std::size_t end = HeaderBlockEnd(response);
  if (end == std::string_view::npos) return;
  body_ = response.substr(end + kHeaderSeparator.size());
  chunked_ = DeclaresChunked(response.substr(0, end));
}

std::string_view PayloadPieces::next() {
  if (chunked_) return NextChunkData(body_, decoder_);
  return std::exchange(body_, std::string_view());
}

// A piece that does not fit the block fills it, and its rest waits for the
// next: the storage is the block the constructor makes, and
// next() never allocates.
PayloadBlocks::PayloadBlocks(std::string_view response) : pieces_(response), gathered_(kPayloadBlock, '\0') {}

std::string_view PayloadBlocks::next() {
  std::size_t filled = 0;
  while (filled < kPayloadBlock) {
    std::string_view piece = waiting_.empty() ? pieces_.next() : std::exchange(waiting_, std::string_view());
    if (piece.empty()) break;
    if (filled == 0 && piece.size() >= kPayloadBlock) return piece;
    const std::size_t room = kPayloadBlock - filled;
    if (piece.size() > room) {
      waiting_ = piece.substr(room);
      piece = piece.substr(0, room);
    }
    std::memcpy(gathered_.data() + filled, piece.data(), piece.size());
    filled += piece.size();
  }
  return std::string_view(gathered_).substr(0, filled);
}

void MessagePayload(std::string_view response, std::string& payload) {
  const std::string_view body = PayloadOf(response, payload);
  if (body.data() != payload.data()) payload.assign(body);
}

void SplitResponse(std::string_view response, std::string& headerText, std::string& decodedBody) {
  const std::size_t end = HeaderBlockEnd(response);
  if (end == std::string_view::npos)
    headerText.clear();
  else
    headerText.assign(response.substr(0, end + 1));
  MessagePayload(response, decodedBody);
}

}  // namespace tcp
