#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The plug-in's own UTF-8 codec between bytes and UTF-16 units.
namespace tcp {

// Encodes each unit by itself in one to three bytes; surrogates are not
// combined, since no character of an ANSI code page needs them.
std::string EncodeUtf8(std::u16string_view units);

// Decodes leniently: overlong forms, encoded surrogates and continuation bytes
// in lead position are accepted (a lead with bit 5 clear starts two bytes, one
// with it set three); a well-formed four-byte sequence becomes a surrogate
// pair. Empty when a sequence is cut short or a continuation byte is not of
// the form 10xxxxxx.
std::optional<std::u16string> DecodeUtf8(std::string_view bytes);

// What DecodeUtf8ToBytes made of a text.
enum class BytesDecoded { decoded, invalid, surrogate };

// Decodes as DecodeUtf8 does the sequences of bytes up to the first that ends
// at least limit bytes in (where Utf8BlockEnd cuts), and writes each unit's
// byte in toByte at out (ASCII as itself); consumed and written count the
// bytes read and written. out is bytes.data() or before it in the same
// storage: no write reaches a byte not yet read. Stops at the start of the first
// sequence whose unit is a surrogate, whose byte depends on its neighbours.
BytesDecoded DecodeUtf8ToBytes(std::string_view bytes, std::size_t limit, const std::array<char, 0x10000>& toByte,
                               char* out, std::size_t& consumed, std::size_t& written);

// Where the first sequence that ends at least size bytes in ends, as
// DecodeUtf8 reads the sequences of bytes (at most the length of bytes):
// DecodeUtf8 gives the same units for the pieces cut there as for the whole.
std::size_t Utf8BlockEnd(std::string_view bytes, std::size_t size);

}  // namespace tcp
