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

// The message body as the host wants it, in place of what payload held:
// decoded when the header block declares chunked, as received otherwise,
// empty while the header block is incomplete. Reusing payload's storage keeps
// large responses from being allocated afresh at every call.
void MessagePayload(std::string_view response, std::string& payload);

}  // namespace tcp
