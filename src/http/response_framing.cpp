#include "http/response_framing.h"

#include <algorithm>

#include "http/declared_length.h"
#include "http/header_fields.h"
#include "http/message_parts.h"
#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::string_view kStatusLineStart = "HTTP/";

bool hasNoBody(int status) { return status < 200 || status == 204 || status == 304; }

// One element of a Content-Length value: digits only, at most a petabyte.
std::optional<std::uint64_t> lengthElement(std::string_view text) {
  text = TrimBlanks(text);
  if (text.empty()) return std::nullopt;
  std::uint64_t length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    length = length * 10 + static_cast<std::uint64_t>(c - '0');
    if (length > kLargestDeclaredLength) return std::nullopt;
  }
  return length;
}

// The one length that every Content-Length field and every element of its
// comma-separated list agree on; nothing when any element is no length or
// two differ (RFC 9110 section 8.6).
std::optional<std::uint64_t> agreedLength(const std::vector<std::string>& values) {
  std::optional<std::uint64_t> agreed;
  for (std::string_view value : values) {
    do {
      const std::optional<std::uint64_t> length = lengthElement(CutToken(value, ","));
      if (!length || (agreed && *agreed != *length)) return std::nullopt;
      agreed = length;
    } while (!value.empty());
  }
  return agreed;
}

}  // namespace

void ResponseFraming::start(bool headRequest) {
  *this = ResponseFraming();
  awaited_ = true;
  headRequest_ = headRequest;
}

void ResponseFraming::advance(std::string_view received) {
  awaited_ = awaited_ || !received.empty();
  if (stage_ == Stage::Header) readHeaderBlock(received);
  if (stage_ == Stage::Body) readBody(received);
}

void ResponseFraming::close() {
  if (stage_ == Stage::Body && delimiter_ == Delimiter::Close)
    stage_ = Stage::Complete;
  else if (awaited_ && (stage_ == Stage::Header || stage_ == Stage::Body))
    stage_ = Stage::Cut;
}

void ResponseFraming::fail(Problem problem) {
  stage_ = Stage::Invalid;
  problem_ = problem;
}

// Each header block is searched once; an interim response's block is passed
// over and the search goes on right after it.
void ResponseFraming::readHeaderBlock(std::string_view received) {
  while (stage_ == Stage::Header) {
    const std::string_view rest = received.substr(std::min(headerStart_, received.size()));
    if (rest.substr(0, kStatusLineStart.size()) != kStatusLineStart.substr(0, rest.size())) {
      // Not HTTP: the bytes are all body, up to the close.
      bodyStart_ = headerStart_;
      delimiter_ = Delimiter::Close;
      stage_ = Stage::Body;
      return;
    }
    const std::size_t end = received.find(kHeaderSeparator, std::max(headerStart_, searched_));
    if (end == std::string_view::npos) {
      searched_ = received.size() < kHeaderSeparator.size() ? 0 : received.size() - kHeaderSeparator.size() + 1;
      return;
    }
    const std::string_view block = received.substr(headerStart_, end + 2 - headerStart_);
    const std::optional<StatusLine> status = ParseStatusLine(FirstLine(block));
    if (!status) return fail(Problem::BadStatusLine);
    if (status->code >= 100 && status->code < 200 && status->code != 101) {
      headerStart_ = searched_ = end + kHeaderSeparator.size();
      continue;
    }
    status_ = status->code;
    headerLength_ = block.size();
    bodyStart_ = end + kHeaderSeparator.size();
    beginBody(received.substr(headerStart_, end - headerStart_));
  }
}

// The block is given as makechunkeds reads it (up to the CR LF CR LF), so that
// both agree on whether the body is chunked.
void ResponseFraming::beginBody(std::string_view headerBlock) {
  stage_ = Stage::Body;
  if (headRequest_ || hasNoBody(status_)) {
    delimiter_ = Delimiter::Nothing;
    stage_ = Stage::Complete;
  } else if (DeclaresChunked(headerBlock)) {
    delimiter_ = Delimiter::Chunks;
  } else if (!FieldValues(headerBlock, "Transfer-Encoding").empty()) {
    delimiter_ = Delimiter::Close;
  } else if (const std::vector<std::string> lengths = FieldValues(headerBlock, "Content-Length"); lengths.empty()) {
    delimiter_ = Delimiter::Close;
  } else if (const std::optional<std::uint64_t> length = agreedLength(lengths)) {
    delimiter_ = Delimiter::Length;
    declared_ = length;
  } else {
    fail(Problem::BadLength);
  }
}

void ResponseFraming::readBody(std::string_view received) {
  const std::string_view body = received.substr(std::min(bodyStart_, received.size()));
  switch (delimiter_) {
    case Delimiter::Length:
      bodyBytes_ = std::min<std::uint64_t>(body.size(), *declared_);
      if (bodyBytes_ == *declared_) stage_ = Stage::Complete;
      return;
    case Delimiter::Chunks: return readChunks(body);
    case Delimiter::Close: bodyBytes_ = body.size(); return;
    case Delimiter::Nothing: return;
  }
}

void ResponseFraming::readChunks(std::string_view body) {
  for (std::string_view data; !(data = NextChunkData(body, chunks_)).empty();) bodyBytes_ += data.size();
  if (chunks_.stage == ChunkedDecoder::Stage::Complete) stage_ = Stage::Complete;
  if (chunks_.stage == ChunkedDecoder::Stage::Invalid) fail(Problem::BadChunk);
}

}  // namespace tcp
