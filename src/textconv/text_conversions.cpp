#include "textconv/text_conversions.h"

#include "textconv/utf8_codec.h"

namespace tcp {
namespace {

// Small enough that a block's UTF-16 form is reused heap memory, not a fresh
// mapping of its own.
constexpr std::size_t kBlock = 8 << 10;

bool endsACharacter(char byte) { return static_cast<unsigned char>(byte) < 0x40; }

// The length of the next block of text: about kBlock bytes, ended right after
// a byte below 0x40. Such a byte is a character by itself in every ANSI code
// page (the lead bytes of the double-byte ones are 0x81 and above) and in
// UTF-8 (no sequence takes it as a continuation), so no character is cut.
std::size_t nextBlock(std::string_view text) {
  if (text.size() <= kBlock) return text.size();
  for (std::size_t end = kBlock; end > 0; --end)
    if (endsACharacter(text[end - 1])) return end;
  for (std::size_t end = kBlock + 1; end < text.size(); ++end)
    if (endsACharacter(text[end - 1])) return end;
  return text.size();
}

}  // namespace

// Block by block, so that the UTF-16 form of a large text is never held
// whole: only the result grows with the text.
std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages) {
  std::string utf8;
  // Letters beyond ASCII take two bytes, a few three.
  utf8.reserve(2 * ansi.size());
  while (!ansi.empty()) {
    const std::size_t length = nextBlock(ansi);
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
    const std::size_t length = nextBlock(utf8);
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
