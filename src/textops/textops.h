#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The byte-string operations that the connection and HTTP commands share.
// Texts may hold zero bytes; positions count from 1 and are signed 32-bit.
namespace tcp {

// Position of the first occurrence of marker lying wholly inside text, or -1
// (not 0) when there is none. An empty marker is found at the first zero byte
// of text, else at its last byte (so the position equals the length), and at
// 0 in an empty text. Linear in the lengths of both.
std::int32_t FindText(std::string_view text, std::string_view marker);

// The same search with a 0-based index: npos when marker does not occur (and
// for an empty marker in an empty text).
std::size_t FindIndex(std::string_view text, std::string_view marker);

// The bytes strictly between the first occurrence of start and the first
// occurrence of end after it; empty when start does not occur, when no end
// follows it, or when end follows it at once. Empty markers are found where
// FindText places them.
std::string_view TextBetween(std::string_view source, std::string_view start, std::string_view end);

// Removes the first occurrence of marker from text again and again until none
// is left; an empty marker removes nothing. One linear pass, in place.
void StripMarker(std::string& text, std::string_view marker);

// The bytes of text before its first zero byte: what a reader of
// zero-terminated texts sees.
std::string_view UntilZero(std::string_view text);

// The bytes of text from position to its end. A position below 1 counts as 1;
// one beyond the end gives the empty text.
std::string_view TextFrom(std::string_view text, std::int32_t position);

// Cuts text at the first byte that occurs in separators: returns the bytes
// before it and leaves text holding the bytes after it (the one separator byte
// is dropped). With no separator byte, returns all of text and empties it.
std::string_view CutToken(std::string_view& text, std::string_view separators);

// Fixed-point text of a floating value with 15 significant digits: "0" for
// zero, never an exponent, trailing fraction zeros and a bare point dropped.
std::string NumberText(double value);

// Whether a and b hold the same bytes once ASCII capitals are lowered: header
// names are ASCII, and other bytes compare as they are.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

// The decimal number at the start of text: optional "-" or "+", then digits up
// to the first other byte, accumulated with 32-bit wrap. No blank is skipped;
// no digit gives 0.
std::int32_t DecimalValue(std::string_view text);

// The value of a hexadecimal digit (0 to 9, A to F, a to f); -1 for any other
// byte. Inline: the chunked decoder reads a size line's digits with it.
inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char lower = static_cast<char>(c | 0x20);
  if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
  return -1;
}

// The Base64 encoding of bytes (RFC 4648 section 4), with "=" padding.
std::string Base64(std::string_view bytes);

// The hexadecimal digits at the start of text, after one optional "$", modulo
// 2^32 and read as signed 32-bit; no digit gives 0.
std::int32_t HexValue(std::string_view text);

// Storage a text may keep beyond its size; a string's storage never shrinks
// by itself, so one large text would otherwise hold it for the library's life.
inline constexpr std::size_t kSpareStorageLimit = 64 << 10;

// Gives text storage of its own size when it holds more than twice its size
// and more than kSpareStorageLimit; when none can be had, text keeps its own.
void GiveBackSpareStorage(std::string& text) noexcept;

// Gives text value's storage, whatever its size: a short value moved into a
// string would otherwise be copied into the old storage, keeping it.
inline void ReplaceText(std::string& text, std::string value) noexcept { text.swap(value); }

}  // namespace tcp
