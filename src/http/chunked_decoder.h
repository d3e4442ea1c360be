#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The chunked transfer coding of HTTP/1.1, read from a body that may still be
// arriving. Zero bytes are ordinary bytes; positions are offsets into the one
// body buffer, which is never copied. The same decoder tells makechunkeds what
// the body holds and tells the framing where the body ends, so that a body
// called complete always decodes whole.
namespace tcp {

// Where the decoding of a chunked body stands; starts zeroed, at the body's
// first byte, and only moves forward.
struct ChunkedDecoder {
  enum class Stage : std::uint8_t {
    SizeLine,   // a size line begins at position; it ends at its first LF
    Data,       // `remaining` data bytes of the current chunk begin at position
    AfterData,  // `remaining` bytes after a chunk's data are skipped, whatever they hold
    Trailer,    // the last chunk was read: lines follow up to the first empty one
    Complete,   // the empty line after the last chunk was read: the body ends at position
    Invalid,    // a size line without a digit, or with a size of 80000000 hexadecimal or more
  };
  Stage stage = Stage::SizeLine;
  std::size_t position = 0;
  std::uint64_t remaining = 0;
  // The line at position has no LF before this offset: a line arriving in
  // pieces is searched once.
  std::size_t searched = 0;

  bool ended() const { return stage == Stage::Complete || stage == Stage::Invalid; }
};

// Decodes on from decoder.position in body, every byte of the body received so
// far (a later call may be given more). Returns the next data bytes that have
// arrived, at most the rest of one chunk, and moves past them; returns nothing
// once it needs more bytes than body holds or the decoding has ended. A size
// line holds a hexadecimal size after an optional "$"; a CR before its LF and
// an extension after ";" change nothing. The two bytes after a chunk's data are
// skipped whatever they hold. A trailer line ends at its LF and is empty when
// it holds nothing but a CR.
std::string_view NextChunkData(std::string_view body, ChunkedDecoder& decoder);

// Appends the data of every chunk of body to decoded: everything up to the
// last chunk, an invalid size line, or the end of the bytes received. A body
// cut short decodes to a prefix of what the whole body decodes to, and never
// to more bytes than the body holds.
void DecodeChunked(std::string_view body, std::string& decoded);

}  // namespace tcp
