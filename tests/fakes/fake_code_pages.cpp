#include "fake_code_pages.h"

#include <algorithm>
#include <array>

namespace tcp::fakes {
namespace {

using UpperHalf = std::array<char16_t, 128>;

constexpr UpperHalf kAnsi1251 = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr UpperHalf kOem866 = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// 1252's upper half: its own characters from 0x80 to 0x9F (five bytes it
// leaves undefined stand for the control characters of their value), Latin-1
// from 0xA0 on.
constexpr UpperHalf kAnsi1252 = [] {
  UpperHalf table = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                     0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  for (std::size_t i = 0x20; i < table.size(); ++i) table[i] = static_cast<char16_t>(0x80 + i);
  return table;
}();

char16_t toUnit(const UpperHalf& table, char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value < 0x80 ? value : table[value - 0x80];
}

// Every unit's byte for one of the three tables, found once: the tables the
// library builds from a code page ask for all 65,536 units.
using ByteOfUnit = std::array<char, 0x10000>;
ByteOfUnit reverseOf(const UpperHalf& table) {
  ByteOfUnit bytes;
  bytes.fill('?');
  for (std::size_t i = table.size(); i-- > 0;) bytes[table[i]] = static_cast<char>(0x80 + i);
  for (char16_t unit = 0; unit < 0x80; ++unit) bytes[unit] = static_cast<char>(unit);
  return bytes;
}

char toByte(const UpperHalf& table, char16_t unit) {
  static const ByteOfUnit ansi1251 = reverseOf(kAnsi1251);
  static const ByteOfUnit oem866 = reverseOf(kOem866);
  static const ByteOfUnit ansi1252 = reverseOf(kAnsi1252);
  const ByteOfUnit& bytes = &table == &kAnsi1252 ? ansi1252 : &table == &kOem866 ? oem866 : ansi1251;
  return bytes[unit];
}

std::string recode(std::string_view text, const UpperHalf& from, const UpperHalf& to) {
  std::string result;
  for (char byte : text) result += toByte(to, toUnit(from, byte));
  return result;
}

char16_t lowerUnit(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return unit + 0x20;
  if (unit >= 0x0410 && unit <= 0x042F) return unit + 0x20;
  if (unit >= 0x0400 && unit <= 0x040F) return unit + 0x50;
  if (unit == 0x0490) return 0x0491;
  return unit;
}

const UpperHalf& ansiTable(unsigned page) {
  return page == 1252 ? kAnsi1252 : page == 866 ? kOem866 : kAnsi1251;
}

std::u16string unitsOf(const UpperHalf& table, std::string_view ansi) {
  std::u16string units;
  for (char byte : ansi) units += toUnit(table, byte);
  return units;
}

std::string bytesOf(const UpperHalf& table, std::u16string_view units) {
  std::string bytes;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool pair = units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() &&
                      units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
    bytes += toByte(table, pair ? u'?' : units[i]);
    if (pair) ++i;
  }
  return bytes;
}

}  // namespace

std::shared_ptr<const SingleByteCodePage> FakeCodePages::singleByteCodePage() {
  if (doubleByte || !tables) return nullptr;
  if (!tables_ || tablesOf_ != ansiPage) {
    const UpperHalf& table = ansiTable(ansiPage);
    tables_ = BuildSingleByteCodePage([&](std::string_view ansi) { return unitsOf(table, ansi); },
                                      [&](std::u16string_view units) { return bytesOf(table, units); });
    tablesOf_ = ansiPage;
  }
  return tables_;
}

std::u16string FakeCodePages::ansiToUtf16(std::string_view ansi) {
  longestInput = std::max(longestInput, ansi.size());
  if (!doubleByte) return unitsOf(ansiTable(ansiPage), ansi);
  std::u16string units;
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    const auto byte = static_cast<unsigned char>(ansi[i]);
    if (!isLeadByte(byte)) {
      units += toUnit(kAnsi1251, ansi[i]);
    } else if (i + 1 == ansi.size()) {
      units += u'\u30FB';
    } else {
      units += static_cast<char16_t>(0x4000 + ((byte - 0x80) << 8) + static_cast<unsigned char>(ansi[++i]));
    }
  }
  return units;
}

bool FakeCodePages::isLeadByte(unsigned char byte) {
  return doubleByte && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

std::string FakeCodePages::utf16ToAnsi(std::u16string_view units) {
  lastUnitsToAnsi = units;
  longestInput = std::max(longestInput, units.size());
  return bytesOf(ansiTable(ansiPage), units);
}

std::string FakeCodePages::oemToAnsi(std::string_view oem) { return recode(oem, kOem866, kAnsi1251); }

std::string FakeCodePages::ansiToOem(std::string_view ansi) { return recode(ansi, kAnsi1251, kOem866); }

std::string FakeCodePages::lowerAnsi(std::string_view ansi) {
  std::string lower;
  for (char byte : ansi) lower += toByte(kAnsi1251, lowerUnit(toUnit(kAnsi1251, byte)));
  return lower;
}

}  // namespace tcp::fakes
