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

// How many bytes the UTF-8 form takes beyond one per byte, a word at a time.
std::size_t utf8Extra(std::string_view ansi, const std::array<unsigned char, 256>& extra) {
  std::size_t size = 0, i = 0;
  for (; ansi.size() - i >= 8; i += 8)
    if (!eightAscii(ansi.data() + i))
      for (std::size_t j = 0; j < 8; ++j) size += extra[static_cast<unsigned char>(ansi[i + j])];
  for (; i < ansi.size(); ++i) size += extra[static_cast<unsigned char>(ansi[i])];
  return size;
}

// Into fresh storage of the exact size, front to back.
std::string utf8ByTable(std::string_view ansi, std::size_t size, const SingleByteCodePage& page) {
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

// The character of the byte before read, written before write.
void writeBefore(char* bytes, std::size_t& read, std::size_t& write, const SingleByteCodePage& page) {
  const std::array<char, 4>& character = page.utf8[static_cast<unsigned char>(bytes[--read])];
  write -= static_cast<std::size_t>(character[0]);
  for (int j = 0; j < character[0]; ++j) bytes[write + j] = character[j + 1];
}

// In text's own storage, back to front: a byte never takes less room than
// itself, so the writes stay behind the reads. While they are well behind,
// each character goes as one word of four bytes that ends where it ends
// (the bytes before it are written again later).
void utf8InPlace(std::string& text, std::size_t size, const SingleByteCodePage& page) {
  std::array<std::uint32_t, 256> ending{};
  for (std::size_t byte = 0; byte < 256; ++byte)
    for (int j = 0; j < page.utf8[byte][0]; ++j)
      ending[byte] |= std::uint32_t{static_cast<unsigned char>(page.utf8[byte][j + 1])} << (8 * (4 - page.utf8[byte][0] + j));
  std::size_t read = text.size(), write = size;
  text.resize(size);
  char* const bytes = text.data();
  constexpr std::size_t kWellBehind = 24;  // more than a word's eight bytes can take beyond themselves, plus three
  while (read >= 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes + read - 8, sizeof word);
    if ((word & 0x8080808080808080) == 0) {
      read -= 8;
      write -= 8;
      std::memcpy(bytes + write, &word, sizeof word);
      continue;
    }
    if (write - read < kWellBehind) {
      for (std::size_t j = 0; j < 8; ++j) writeBefore(bytes, read, write, page);
      continue;
    }
    for (std::size_t j = 0; j < 8; ++j) {
      const unsigned char byte = static_cast<unsigned char>(bytes[--read]);
      std::memcpy(bytes + write - 4, &ending[byte], 4);
      write -= static_cast<std::size_t>(page.utf8[byte][0]);
    }
  }
  while (read > 0) writeBefore(bytes, read, write, page);
}

void utf8ByUnits(std::string& text, CodePages& codePages) {
  std::array<bool, 256> leads{};
  bool doubleByte = false;
  for (int byte = 0x80; byte < 0x100; ++byte)
    doubleByte |= leads[byte] = codePages.isLeadByte(static_cast<unsigned char>(byte));
  std::string utf8;
  // Letters beyond ASCII take two bytes, a few three.
  utf8.reserve(2 * text.size());
  for (std::string_view ansi = text; !ansi.empty();) {
    const std::size_t length = nextAnsiBlock(ansi, leads, doubleByte);
    const std::u16string units = codePages.ansiToUtf16(ansi.substr(0, length));
    if (units.empty()) {
      text.clear();
      return;
    }
    utf8 += EncodeUtf8(units);
    ansi.remove_prefix(length);
  }
  text = std::move(utf8);
}

// One block's bytes through the UTF-16 units; empty when the block is not
// acceptable UTF-8 or the code page cannot convert it.
std::optional<std::string> blockByUnits(std::string_view block, CodePages& codePages) {
  const std::optional<std::u16string> units = DecodeUtf8(block);
  if (!units) return std::nullopt;
  std::string converted = codePages.utf16ToAnsi(*units);
  if (converted.empty() && !units->empty()) return std::nullopt;
  return converted;
}

void ansiByUnits(std::string& text, CodePages& codePages) {
  std::string ansi;
  ansi.reserve(text.size());
  for (std::string_view utf8 = text; !utf8.empty();) {
    const std::string_view block = utf8.substr(0, Utf8BlockEnd(utf8, kBlock));
    const std::optional<std::string> converted = blockByUnits(block, codePages);
    if (!converted) {
      text.clear();
      return;
    }
    ansi += *converted;
    utf8.remove_prefix(block.size());
  }
  text = std::move(ansi);
}

// Block by block in text's own storage; no unit takes more than one byte,
// so the writes stay behind the reads. A surrogate pair can become one byte,
// and where a pair is cut depends on the blocks: from its first surrogate on,
// a block takes the units' path, and the bytes before it, surrogate-free, give
// by table what they give there.
void ansiInPlace(std::string& text, const SingleByteCodePage& page, CodePages& codePages) {
  std::size_t read = 0, write = 0;
  while (read < text.size()) {
    std::size_t consumed = 0, written = 0;
    const BytesDecoded outcome = DecodeUtf8ToBytes(std::string_view(text).substr(read), kBlock, page.bytes,
                                                   text.data() + write, consumed, written);
    write += written;
    read += consumed;
    if (outcome == BytesDecoded::decoded) continue;
    const std::string_view rest = std::string_view(text).substr(read);
    const std::string_view units = rest.substr(0, outcome == BytesDecoded::surrogate ? Utf8BlockEnd(rest, kBlock - consumed) : 0);
    const std::optional<std::string> converted = units.empty() ? std::nullopt : blockByUnits(units, codePages);
    if (!converted || converted->size() > read + units.size() - write) {
      text.clear();
      return;
    }
    std::memmove(text.data() + write, converted->data(), converted->size());
    write += converted->size();
    read += units.size();
  }
  text.resize(write);
}

}  // namespace

void ConvertToUtf8(std::string& text, CodePages& codePages) {
  const std::shared_ptr<const SingleByteCodePage> page = codePages.singleByteCodePage();
  if (!page) return utf8ByUnits(text, codePages);
  std::array<unsigned char, 256> extra{};
  for (std::size_t byte = 0; byte < 256; ++byte) extra[byte] = static_cast<unsigned char>(page->utf8[byte][0] - 1);
  const std::size_t size = text.size() + utf8Extra(text, extra);
  if (size <= text.capacity())
    utf8InPlace(text, size, *page);
  else
    text = utf8ByTable(text, size, *page);
}

void ConvertFromUtf8(std::string& text, CodePages& codePages) {
  if (const std::shared_ptr<const SingleByteCodePage> page = codePages.singleByteCodePage())
    ansiInPlace(text, *page, codePages);
  else
    ansiByUnits(text, codePages);
}

std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages) {
  std::string text(ansi);
  ConvertToUtf8(text, codePages);
  return text;
}

std::string AnsiFromUtf8(std::string_view utf8, CodePages& codePages) {
  std::string text(utf8);
  ConvertFromUtf8(text, codePages);
  return text;
}

std::string AnsiFromOem(std::string_view oem, CodePages& codePages) { return codePages.oemToAnsi(oem); }

std::string OemFromAnsi(std::string_view ansi, CodePages& codePages) { return codePages.ansiToOem(ansi); }

}  // namespace tcp
