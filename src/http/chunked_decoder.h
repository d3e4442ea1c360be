#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The chunked transfer coding of HTTP/1.1, read from a body that may still be
// arriving. Zero bytes are ordinary bytes; positions are 64-bit offsets into
// the one body buffer, which is never copied.
namespace tcp {

// Where the decoding of a chunked body stands; starts zeroed, at the body's
// first byte.
struct ChunkedDecoder {
  // The next size line begins here.
  std::size_t position = 0;
  // Set once a size below 1 (the last chunk, a size line with no digit, a
  // size of 80000000 hexadecimal or more) or a size line whose LF has not
  // arrived has ended the decoding.
  bool finished = false;
};

// Reads the chunk at decoder.position. Its size line ends at the first LF (a
// CR before it and an extension after ";" change nothing) and holds a
// hexadecimal size after an optional "$". Returns up to size data bytes
// (fewer when fewer have arrived) and moves past them and the two bytes after
// them, whatever those hold; every call that does not finish moves forward.
// Sets finished and returns nothing when the decoding ends here.
std::string_view NextChunk(std::string_view body, ChunkedDecoder& decoder);

// Appends the data of every chunk of body to decoded. A body cut short decodes
// to a prefix of what the whole body decodes to, and never to more bytes than
// the body holds.
void DecodeChunked(std::string_view body, std::string& decoded);

}  // namespace tcp
