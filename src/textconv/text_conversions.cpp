#include "textconv/text_conversions.h"

#include <algorithm>
#include <array>

#include "textconv/utf8_codec.h"

namespace tcp {
namespace {

// Small enough that a block's UTF-16 form is reused heap memory, not a fresh
// mapping of its own.
constexpr std::size_t kBlock = 8 << 10;

// The length of the next block of ANSI text: kBlock bytes, one more when
// that would cut a two-byte character after its lead byte. Characters are
// counted from the block's start, since a trail byte may look like a lead.
std::size_t nextAnsiBlock(std::string_view text, const std::array<bool, 256>& leads, bool doubleByte) {
  if (text.size() <= kBlock) return text.size();
  if (!doubleByte) return kBlock;
  std::size_t end = 0;
  while (end < kBlock) end += leads[static_cast<unsigned char>(text[end])] ? 2 : 1;
  return std::min(end, text.size());
}

}  // namespace

// Block by block, so that the UTF-16 form of a large text is never held
// whole: only the result grows with the text.
std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages) {
  std::array<bool, 256> leads{};
  bool doubleByte = false;
  for (int byte = 0x80; byte < 0x100; ++byte)
    doubleByte |= leads[byte] = codePages.isLeadByte(static_cast<unsigned char>(byte));
  std::string utf8;
  // Letters beyond ASCII take two bytes, a few three.
  utf8.reserve(2 * ansi.size());
  while (!ansi.empty()) {
    const std::size_t length = nextAnsiBlock(ansi, leads, doubleByte);
    const std::u16string units = codePages.ansiToUtf16(ansi.substr(0, length));
    if (units.empty()) return {};
    utf8 += EncodeUtf8(units);
    ansi.remove_prefix(length);
  }
  return utf8;
}

// A block that is not acceptable UTF-8 makes the whole text unacceptable, as
// it would have been in one piece.
std::string AnsiFromUtf8(std::string_view utf8, CodePages& codePages) {
  std::string ansi;
  ansi.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::size_t length = Utf8BlockEnd(utf8, kBlock);
    const std::optional<std::u16string> units = DecodeUtf8(utf8.substr(0, length));
    if (!units) return {};
    const std::string converted = codePages.utf16ToAnsi(*units);
    if (converted.empty() && !units->empty()) return {};
    ansi += converted;
    utf8.remove_prefix(length);
  }
  return ansi;
}

std::string AnsiFromOem(std::string_view oem, CodePages& codePages) { return codePages.oemToAnsi(oem); }

std::string OemFromAnsi(std::string_view ansi, CodePages& codePages) { return codePages.ansiToOem(ansi); }

}  // namespace tcp
