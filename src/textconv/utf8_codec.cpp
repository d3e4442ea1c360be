#include "textconv/utf8_codec.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

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

// Whether eight bytes, or four units, are all ASCII: one test of a word.
bool allAscii(std::string_view eight) {
  std::uint64_t word;
  std::memcpy(&word, eight.data(), sizeof word);
  return (word & 0x8080808080808080) == 0;
}

bool allAscii(std::u16string_view four) {
  std::uint64_t word;
  std::memcpy(&word, four.data(), sizeof word);
  return (word & 0xFF80FF80FF80FF80) == 0;
}

// How many bytes the sequence at index takes as DecodeUtf8 reads it, valid
// or not: an invalid one fails the whole text wherever it is cut.
std::size_t sequenceLength(std::string_view bytes, std::size_t index) {
  const unsigned char lead = byteAt(bytes, index);
  if (lead < 0x80) return 1;
  if (fourByteCodePoint(bytes, index)) return 4;
  return (lead & 0x20) == 0 ? 2 : 3;
}

}  // namespace

// Runs of ASCII, the bulk of most texts, are taken eight bytes or four units
// at a time; the rest one character at a time.
std::string EncodeUtf8(std::u16string_view units) {
  std::size_t size = units.size();
  for (char16_t unit : units) size += (unit >= 0x80) + (unit >= 0x800);
  std::string bytes(size, '\0');
  char* out = bytes.data();
  for (std::size_t i = 0; i < units.size();) {
    if (units.size() - i >= 4 && allAscii(units.substr(i, 4))) {
      for (std::size_t j = 0; j < 4; ++j) *out++ = static_cast<char>(units[i + j]);
      i += 4;
      continue;
    }
    const char16_t unit = units[i++];
    if (unit < 0x80) {
      *out++ = static_cast<char>(unit);
    } else if (unit < 0x800) {
      *out++ = static_cast<char>(0xC0 + (unit >> 6));
      *out++ = static_cast<char>(0x80 + (unit & 0x3F));
    } else {
      *out++ = static_cast<char>(0xE0 + (unit >> 12));
      *out++ = static_cast<char>(0x80 + ((unit >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 + (unit & 0x3F));
    }
  }
  return bytes;
}

std::optional<std::u16string> DecodeUtf8(std::string_view bytes) {
  // Never more units than bytes; the surplus is cut off at the end.
  std::u16string units(bytes.size(), u'\0');
  char16_t* out = units.data();
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char lead = byteAt(bytes, i);
    if (bytes.size() - i >= 8 && allAscii(bytes.substr(i, 8))) {
      for (std::size_t j = 0; j < 8; ++j) *out++ = byteAt(bytes, i + j);
      i += 8;
    } else if (lead < 0x80) {
      *out++ = lead;
      i += 1;
    } else if (const char32_t codePoint = fourByteCodePoint(bytes, i)) {
      const char32_t offset = codePoint - 0x10000;
      *out++ = static_cast<char16_t>(0xD800 + (offset >> 10));
      *out++ = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
      i += 4;
    } else if ((lead & 0x20) == 0) {
      if (i + 1 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1))) return std::nullopt;
      *out++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (byteAt(bytes, i + 1) & 0x3F));
      i += 2;
    } else {
      if (i + 2 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1)) || !isContinuation(byteAt(bytes, i + 2)))
        return std::nullopt;
      *out++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((byteAt(bytes, i + 1) & 0x3F) << 6) |
                                     (byteAt(bytes, i + 2) & 0x3F));
      i += 3;
    }
  }
  units.resize(static_cast<std::size_t>(out - units.data()));
  return units;
}

BytesDecoded DecodeUtf8ToBytes(std::string_view bytes, std::size_t limit, const std::array<char, 0x10000>& toByte,
                               char* const out, std::size_t& consumed, std::size_t& written) {
  const char* const in = bytes.data();
  char* at = out;
  std::size_t i = 0;
  BytesDecoded outcome = BytesDecoded::decoded;
  const std::size_t end = std::min(limit, bytes.size());
  while (i < end) {
    if (end - i >= 8) {
      std::uint64_t word;
      std::memcpy(&word, in + i, sizeof word);
      const std::uint64_t high = word & 0x8080808080808080;
      // Once the writes are a word behind the reads, a word goes out whole
      // even when only its first bytes are ASCII: the rest is written again.
      if (high == 0 || in + i - at >= 8) std::memcpy(at, &word, sizeof word);
      if (high == 0) {
        at += 8;
        i += 8;
        continue;
      }
      static_assert(std::endian::native == std::endian::little);
      const std::size_t ascii = static_cast<std::size_t>(std::countr_zero(high)) / 8;
      if (in + i - at < 8)
        for (std::size_t j = 0; j < ascii; ++j) at[j] = in[i + j];
      at += ascii;
      i += ascii;
      // Two-byte sequences two at a time: the letters of most single-byte
      // code pages come in runs.
      while (end - i >= 4) {
        std::uint32_t four;
        std::memcpy(&four, in + i, sizeof four);
        if ((four & 0xC0E0C0E0) != 0x80C080C0) break;
        at[0] = toByte[(four & 0x1F) << 6 | (four >> 8 & 0x3F)];
        at[1] = toByte[(four >> 10 & 0x7C0) | (four >> 24 & 0x3F)];
        at += 2;
        i += 4;
      }
      if (i >= end) break;
    }
    const unsigned char lead = byteAt(bytes, i);
    char32_t unit;
    if (lead < 0x80) {
      *at++ = static_cast<char>(lead);
      i += 1;
      continue;
    }
    if ((lead & 0xE0) == 0xC0 && i + 1 < bytes.size() && isContinuation(byteAt(bytes, i + 1))) {
      *at++ = toByte[((lead & 0x1F) << 6) | (byteAt(bytes, i + 1) & 0x3F)];
      i += 2;
      continue;
    }
    if (fourByteCodePoint(bytes, i)) {
      outcome = BytesDecoded::surrogate;
      break;
    } else if ((lead & 0x20) == 0) {
      if (i + 1 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1))) {
        outcome = BytesDecoded::invalid;
        break;
      }
      unit = ((lead & 0x1F) << 6) | (byteAt(bytes, i + 1) & 0x3F);
      i += 2;
    } else {
      if (i + 2 >= bytes.size() || !isContinuation(byteAt(bytes, i + 1)) || !isContinuation(byteAt(bytes, i + 2))) {
        outcome = BytesDecoded::invalid;
        break;
      }
      unit = ((lead & 0x0F) << 12) | ((byteAt(bytes, i + 1) & 0x3F) << 6) | (byteAt(bytes, i + 2) & 0x3F);
      if (unit >= 0xD800 && unit < 0xE000) {
        outcome = BytesDecoded::surrogate;
        break;
      }
      i += 3;
    }
    *at++ = toByte[unit];
  }
  consumed = i;
  written = static_cast<std::size_t>(at - out);
  return outcome;
}

std::size_t Utf8BlockEnd(std::string_view bytes, std::size_t size) {
  if (bytes.size() <= size) return bytes.size();
  std::size_t end = 0;
  while (end < size) end += sequenceLength(bytes, end);
  return std::min(end, bytes.size());
}

}  // namespace tcp
