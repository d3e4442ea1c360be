#include "textconv/utf8_codec.h"

namespace tcp {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

unsigned char byteAt(std::string_view bytes, std::size_t index) {
  return static_cast<unsigned char>(bytes[index]);
}

// A lead 0xF0 to 0xF4 with three continuation bytes naming a code point
// beyond the basic plane; returns the code point, or 0 when the bytes at
// index are not such a sequence.
char32_t fourByteCodePoint(std::string_view bytes, std::size_t index) {
  const unsigned char lead = byteAt(bytes, index);
  if (lead < 0xF0 || lead > 0xF4 || bytes.size() - index < 4) return 0;
  char32_t codePoint = lead & 0x07;
  for (std::size_t i = 1; i < 4; ++i) {
    const unsigned char next = byteAt(bytes, index + i);
    if (!isContinuation(next)) return 0;
    codePoint = (codePoint << 6) | (next & 0x3F);
  }
  return codePoint >= 0x10000 && codePoint <= 0x10FFFF ? codePoint : 0;
}

void appendSurrogatePair(std::u16string& units, char32_t codePoint) {
  const char32_t offset = codePoint - 0x10000;
  units += static_cast<char16_t>(0xD800 + (offset >> 10));
  units += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
}

}  // namespace

std::string EncodeUtf8(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
    } else if (unit < 0x800) {
      bytes += static_cast<char>(0xC0 + (unit >> 6));
      bytes += static_cast<char>(0x80 + (unit & 0x3F));
    } else {
      bytes += static_cast<char>(0xE0 + (unit >> 12));
      bytes += static_cast<char>(0x80 + ((unit >> 6) & 0x3F));
      bytes += static_cast<char>(0x80 + (unit & 0x3F));
    }
  }
  return bytes;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = byteAt(bytes, i);
    if (lead < 0x80) {
      units += static_cast<char16_t>(lead);
      i += 1;
    } else if (const char32_t codePoint = fourByteCodePoint(bytes, i)) {
      appendSurrogatePair(units, codePoint);
      i += 4;
    } else if ((lead & 0x20) == 0) {
      if (i + 1 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1))) return std::nullopt;
      units += static_cast<char16_t>(((lead & 0x1F) << 6) | (byteAt(bytes, i + 1) & 0x3F));
      i += 2;
    } else {
      if (i + 2 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1)) || !isContinuation(byteAt(bytes, i + 2)))
        return std::nullopt;
      units += static_cast<char16_t>(((lead & 0x0F) << 12) | ((byteAt(bytes, i + 1) & 0x3F) << 6) |
                                     (byteAt(bytes, i + 2) & 0x3F));
      i += 3;
    }
  }
  return units;
}

}  // namespace tcp
