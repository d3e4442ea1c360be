#include "textconv/text_conversions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

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

bool eightAscii(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return (word & 0x8080808080808080) == 0;
}

// One pass sizes the result, one writes it; ASCII runs go eight bytes at a time.
std::string utf8ByTable(std::string_view ansi, const SingleByteCodePage& page) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < ansi.size();) {
    if (ansi.size() - i >= 8 && eightAscii(ansi.data() + i)) {
      size += 8;
      i += 8;
    } else {
      size += static_cast<std::size_t>(page.utf8[static_cast<unsigned char>(ansi[i++])][0]);
    }
  }
  std::string utf8;
  utf8.resize_and_overwrite(size, [&](char* out, std::size_t) {
    for (std::size_t i = 0; i < ansi.size();) {
      if (ansi.size() - i >= 8 && eightAscii(ansi.data() + i)) {
        std::memcpy(out, ansi.data() + i, 8);
        out += 8;
        i += 8;
        continue;
      }
      const std::array<char, 4>& character = page.utf8[static_cast<unsigned char>(ansi[i++])];
      for (int j = 1; j <= character[0]; ++j) *out++ = character[j];
    }
    return size;
  });
  return utf8;
}

// Appends the text's bytes by table; false, with nothing appended, when it
// is not acceptable UTF-8 or holds a surrogate.
bool appendByTable(std::string_view utf8, const SingleByteCodePage& page, std::string& ansi) {
  bool decoded = false;
  const std::size_t before = ansi.size();
  ansi.resize_and_overwrite(before + utf8.size(), [&](char* out, std::size_t) {
    std::size_t written = 0;
    decoded = DecodeUtf8ToBytes(utf8, page.bytes, out + before, written) == BytesDecoded::decoded;
    return before + (decoded ? written : 0);
  });
  return decoded;
}

bool appendByUnits(std::string_view utf8, CodePages& codePages, std::string& ansi) {
  const std::optional<std::u16string> units = DecodeUtf8(utf8);
  if (!units) return false;
  const std::string converted = codePages.utf16ToAnsi(*units);
  if (converted.empty() && !units->empty()) return false;
  ansi += converted;
  return true;
}

// A block that is not acceptable UTF-8 makes the whole text unacceptable, as
// it would have been in one piece. Blocks without surrogates go by table when
// there is one: a surrogate pair can become one byte, and where a pair is cut
// depends on the blocks.
std::string ansiByBlocks(std::string_view utf8, const SingleByteCodePage* page, CodePages& codePages) {
  std::string ansi;
  ansi.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::string_view block = utf8.substr(0, Utf8BlockEnd(utf8, kBlock));
    if (!(page && appendByTable(block, *page, ansi)) && !appendByUnits(block, codePages, ansi)) return {};
    utf8.remove_prefix(block.size());
  }
  return ansi;
}

}  // namespace

// By table on a single-byte code page; otherwise block by block, so that the
// UTF-16 form of a large text is never held whole: only the result grows with
// the text.
std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages) {
  if (const std::shared_ptr<const SingleByteCodePage> page = codePages.singleByteCodePage())
    return utf8ByTable(ansi, *page);
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

// In one piece by table when the text holds no surrogate.
std::string AnsiFromUtf8(std::string_view utf8, CodePages& codePages) {
  const std::shared_ptr<const SingleByteCodePage> page = codePages.singleByteCodePage();
  if (page) {
    std::string ansi;
    if (appendByTable(utf8, *page, ansi)) return ansi;
  }
  return ansiByBlocks(utf8, page.get(), codePages);
}

std::string AnsiFromOem(std::string_view oem, CodePages& codePages) { return codePages.oemToAnsi(oem); }

std::string OemFromAnsi(std::string_view ansi, CodePages& codePages) { return codePages.ansiToOem(ansi); }

}  // namespace tcp
