#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "http/chunked_decoder.h"

namespace tcp {

// Where the current response ends, found as its bytes arrive, by the HTTP/1.1
// rules for a message's length (RFC 9112 section 6.3). Each arrival costs time
// in proportion to its own bytes: nothing already looked at is scanned again.
//
// Interim responses (1xx other than 101) are passed over: the final response
// follows them. The final response has no body when it answers a HEAD
// request or its status is 1xx, 204 or 304; else a Transfer-Encoding whose
// last coding is chunked frames it, else a valid Content-Length, else the
// close of the connection. Bytes that do not begin as a status line ("HTTP/")
// are a body that ends at the close, with status 0.
class ResponseFraming {
 public:
  enum class Stage {
    Header,    // the final response's header block is not complete yet
    Body,      // the body is arriving
    Complete,  // the last byte of the response has arrived
    Cut,       // the connection closed before the response was complete
    Invalid,   // the framing cannot be trusted: problem() says why
  };
  enum class Problem { None, BadStatusLine, BadLength, BadChunk };

  // A new request: headRequest when it began with "HEAD ".
  void start(bool headRequest);
  // received: every byte since the request, of which the earlier calls saw a
  // prefix; reads the bytes not seen yet.
  void advance(std::string_view received);
  // The connection closed: a body that ends at the close is complete, anything
  // else not complete was cut short, unless nothing was awaited (no request
  // and no byte since the last one).
  void close();

  Stage stage() const { return stage_; }
  Problem problem() const { return problem_; }
  // The final response's status code; 0 until its header block is complete,
  // and for bytes that are not HTTP.
  int status() const { return status_; }
  // The final response's header block: its status line and field lines, each
  // ended by CR LF, the empty line not included. Offsets into received.
  std::size_t headerStart() const { return headerStart_; }
  std::size_t headerLength() const { return headerLength_; }
  // Body bytes so far: the payload, without chunk framing.
  std::uint64_t bodyBytes() const { return bodyBytes_; }
  // The body's length when a Content-Length frames it.
  std::optional<std::uint64_t> declaredLength() const { return declared_; }

 private:
  enum class Delimiter { Nothing, Length, Chunks, Close };

  void readHeaderBlock(std::string_view received);
  void beginFinalResponse(std::string_view received, std::size_t blockEnd);
  void beginBody(std::string_view headerBlock);
  void readBody(std::string_view received);
  void readChunks(std::string_view body);
  void fail(Problem problem);

  bool awaited_ = false;
  bool headRequest_ = false;
  Stage stage_ = Stage::Header;
  Problem problem_ = Problem::None;
  Delimiter delimiter_ = Delimiter::Nothing;
  int status_ = 0;
  std::size_t headerStart_ = 0;
  std::size_t headerLength_ = 0;
  std::size_t searched_ = 0;  // the current header block has no CR LF CR LF before this offset
  std::size_t bodyStart_ = 0;
  std::uint64_t bodyBytes_ = 0;
  std::optional<std::uint64_t> declared_;
  ChunkedDecoder chunks_;
};

}  // namespace tcp
