#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small parsers over the raw bytes of a response. None allocates except where
// it returns a text; zero bytes are ordinary bytes.
namespace tcp {

inline constexpr std::string_view kHeaderSeparator = "\r\n\r\n";

// Index of the first CR LF CR LF, or npos while the header block is incomplete.
std::size_t HeaderBlockEnd(std::string_view response);

// The bytes after the first CR LF CR LF; empty without one.
std::string_view MessageBody(std::string_view response);

// Whether the header block declares the chunked transfer coding: a
// Transfer-Encoding header line (name in any letter case) whose last coding
// is chunked.
bool DeclaresChunked(std::string_view headerBlock);

// Decodes a chunked body: a size line ends at its first LF (a CR before it and
// an extension after ";" are ignored) and holds a hexadecimal size read as a
// signed 32-bit number; decoding stops at a size below 1, at a size line with
// no digit or at one whose LF has not arrived. Up to size data bytes follow
// (fewer when fewer have arrived), then two bytes that are skipped whatever
// they hold. A body cut short decodes to a prefix of the whole body's result.
// The decoded bytes are appended to decoded.
void DecodeChunked(std::string_view body, std::string& decoded);

// The message body as the host wants it, in place of what payload held:
// decoded when the header block declares chunked, as received otherwise,
// empty while the header block is incomplete. Reusing payload's storage keeps
// large responses from being allocated afresh at every call.
void MessagePayload(std::string_view response, std::string& payload);

}  // namespace tcp
