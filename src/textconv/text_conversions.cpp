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

std::size_t utf8Size(std::string_view ansi, const SingleByteCodePage& page) {
  std::size_t size = 0;
  for (std::size_t i = 0; i < ansi.size();) {
    if (ansi.size() - i >= 8 && eightAscii(ansi.data() + i)) {
      size += 8;
      i += 8;
    } else {
      size += static_cast<std::size_t>(page.utf8[static_cast<unsigned char>(ansi[i++])][0]);
    }
  }
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

// In text's own storage, back to front: a byte never takes less room than
// itself, so the writes stay behind the reads.
void utf8InPlace(std::string& text, std::size_t size, const SingleByteCodePage& page) {
  std::size_t read = text.size(), write = size;
  text.resize(size);
  char* const bytes = text.data();
  while (read > 0) {
    if (read >= 8 && eightAscii(bytes + read - 8)) {
      std::uint64_t word;
      std::memcpy(&word, bytes + read - 8, sizeof word);
      read -= 8;
      write -= 8;
      std::memcpy(bytes + write, &word, sizeof word);
      continue;
    }
    const std::array<char, 4>& character = page.utf8[static_cast<unsigned char>(bytes[--read])];
    write -= static_cast<std::size_t>(character[0]);
    for (int j = 0; j < character[0]; ++j) bytes[write + j] = character[j + 1];
  }
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

// Block by block in text's own storage: each block is decoded into a buffer
// of its own first, so that a block holding a surrogate is still whole for
// the units' path (a surrogate pair can become one byte, and where a pair is
// cut depends on the blocks). No unit takes more than one byte, so the writes
// stay behind the reads.
void ansiInPlace(std::string& text, const SingleByteCodePage& page, CodePages& codePages) {
  std::array<char, kBlock + 4> decoded;
  std::size_t read = 0, write = 0;
  while (read < text.size()) {
    const std::string_view rest = std::string_view(text).substr(read);
    std::size_t consumed = 0, written = 0;
    const BytesDecoded outcome = DecodeUtf8ToBytes(rest, kBlock, page.bytes, decoded.data(), consumed, written);
    if (outcome == BytesDecoded::decoded) {
      std::memmove(text.data() + write, decoded.data(), written);
    } else {
      consumed = Utf8BlockEnd(rest, kBlock);
      const std::optional<std::string> converted = blockByUnits(rest.substr(0, consumed), codePages);
      if (!converted || converted->size() > read + consumed - write) {
        text.clear();
        return;
      }
      written = converted->size();
      std::memmove(text.data() + write, converted->data(), written);
    }
    read += consumed;
    write += written;
  }
  text.resize(write);
}

}  // namespace

void ConvertToUtf8(std::string& text, CodePages& codePages) {
  const std::shared_ptr<const SingleByteCodePage> page = codePages.singleByteCodePage();
  if (!page) return utf8ByUnits(text, codePages);
  const std::size_t size = utf8Size(text, *page);
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
