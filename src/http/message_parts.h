#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "http/chunked_decoder.h"

// Small parsers over the raw bytes of a response. None allocates except where
// it returns a text; zero bytes are ordinary bytes.
namespace tcp {

inline constexpr std::string_view kHeaderSeparator = "\r\n\r\n";

// Index of the first CR LF CR LF, or npos while the header block is incomplete.
std::size_t HeaderBlockEnd(std::string_view response);

// The bytes after the first CR LF CR LF; empty without one.
std::string_view MessageBody(std::string_view response);

// The same less its first line: everything up to and including the body's
// first LF goes; empty when the body holds no LF.
std::string_view BodyAfterFirstLine(std::string_view response);

// The status line and header lines joined by CR LF, ended by one zero byte in
// place of the separator's first CR; false (text untouched) without separator.
bool HeaderBlockText(std::string_view response, std::string& text);

// Whether the header block declares the chunked transfer coding: a
// Transfer-Encoding header line (name in any letter case) whose last coding
// is chunked.
bool DeclaresChunked(std::string_view headerBlock);

// The message body as the host wants it, in place of what payload held:
// decoded when the header block declares chunked, as received otherwise,
// empty while the header block is incomplete. Reusing payload's storage keeps
// large responses from being allocated afresh at every call.
void MessagePayload(std::string_view response, std::string& payload);

// The same without a copy where none is needed: the body itself when it is not
// chunked, else the body decoded into `decoded`, which the result then views.
std::string_view PayloadOf(std::string_view response, std::string& decoded);

// The payload as PayloadOf gives it, in pieces that view response without a
// copy: the body as one piece when it is not chunked, else the data of each
// chunk in turn. An empty piece ends them; response must outlive the pieces.
class PayloadPieces {
 public:
  explicit PayloadPieces(std::string_view response);
  std::string_view next();

 private:
  std::string_view body_;
  bool chunked_ = false;
  ChunkedDecoder decoder_;
};

// The payload as PayloadPieces gives it, in blocks of at least kPayloadBlock
// bytes but the last: smaller pieces are gathered into storage of its own
// (kept between blocks), and the rest of a piece as large as a block or
// larger passes as it is. Each block views that storage or the response until
// the next call.
class PayloadBlocks {
 public:
  static constexpr std::size_t kPayloadBlock = 32 << 10;
  explicit PayloadBlocks(std::string_view response);
  std::string_view next();

 private:
  PayloadPieces pieces_;
  std::string gathered_;
  std::string_view waiting_;
};

// Splits a response as makechunkeds does: headerText becomes the header block
// up to and including the CR that opens the separator (empty without one), and
// decodedBody its payload.
void SplitResponse(std::string_view response, std::string& headerText, std::string& decodedBody);

}  // namespace tcp
