#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

namespace tcp {

// A single-byte ANSI code page as two tables, so that text converts to and
// from UTF-8 without a UTF-16 form.
struct SingleByteCodePage {
  // Each byte's character in UTF-8: its length, then its one to three bytes.
  std::array<std::array<char, 4>, 256> utf8{};
  // Each UTF-16 unit's byte, as the code page converts that unit alone (its
  // replacement for a character it lacks included); none for surrogates.
  std::array<char, 0x10000> bytes{};
};

// The tables from a code page's own conversions: toUnits(bytes) gives the
// UTF-16 units of ANSI bytes, toBytes(units) the ANSI bytes of units. Units
// go in pieces of a few KiB. Null unless the code page gives one unit per
// byte and one byte per unit, and ASCII as itself both ways.
template <typename ToUnits, typename ToBytes>
std::shared_ptr<const SingleByteCodePage> BuildSingleByteCodePage(ToUnits toUnits, ToBytes toBytes) {
  constexpr char16_t kFirstSurrogate = 0xD800, kPastSurrogates = 0xE000;
  constexpr std::size_t kPiece = 0x800;
  auto page = std::make_shared<SingleByteCodePage>();
  std::string all(256, '\0');
  for (std::size_t byte = 0; byte < 256; ++byte) all[byte] = static_cast<char>(byte);
  const std::u16string units = toUnits(all);
  if (units.size() != 256) return nullptr;
  for (std::size_t byte = 0; byte < 256; ++byte) {
    const char16_t unit = units[byte];
    if ((byte < 0x80 && unit != byte) || (unit >= kFirstSurrogate && unit < kPastSurrogates)) return nullptr;
    std::array<char, 4>& utf8 = page->utf8[byte];
    if (unit < 0x80) {
      utf8 = {1, static_cast<char>(unit)};
    } else if (unit < 0x800) {
      utf8 = {2, static_cast<char>(0xC0 + (unit >> 6)), static_cast<char>(0x80 + (unit & 0x3F))};
    } else {
      utf8 = {3, static_cast<char>(0xE0 + (unit >> 12)), static_cast<char>(0x80 + ((unit >> 6) & 0x3F)),
              static_cast<char>(0x80 + (unit & 0x3F))};
    }
  }
  std::u16string piece(kPiece, u'\0');
  for (std::size_t first = 0; first < page->bytes.size(); first += kPiece) {
    if (first >= kFirstSurrogate && first < kPastSurrogates) continue;
    for (std::size_t i = 0; i < kPiece; ++i) piece[i] = static_cast<char16_t>(first + i);
    const std::string bytes = toBytes(piece);
    if (bytes.size() != kPiece) return nullptr;
    for (std::size_t i = 0; i < kPiece; ++i) {
      if (first + i < 0x80 && bytes[i] != static_cast<char>(first + i)) return nullptr;
      page->bytes[first + i] = bytes[i];
    }
  }
  return page;
}

}  // namespace tcp
