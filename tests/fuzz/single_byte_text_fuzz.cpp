// The conversions by table on a single-byte code page against the UTF-16
// path of the same code page, on arbitrary bytes both ways, converted in a
// copy and where they lie. The first byte picks the code page (1251, 1252,
// 866) and how much room the text's storage has; the text is repeated so
// that it spans several blocks.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fake_code_pages.h"
#include "textconv/text_conversions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  const unsigned pages[] = {1251, 1252, 866};
  static tcp::fakes::FakeCodePages tables, units;
  tables.ansiPage = units.ansiPage = pages[data[0] % 3];
  units.tables = false;
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  for (std::size_t times = data[0] / 3 % 8; times > 0; --times) text += text;
  const std::string utf8 = tcp::Utf8FromAnsi(text, units);
  std::string slot = text;
  slot.reserve(data[0] & 0x80 ? 3 * text.size() : text.size());
  tcp::ConvertToUtf8(slot, tables);
  if (slot != utf8) std::abort();
  for (const std::string& input : {text, utf8}) {
    slot = input;
    tcp::ConvertFromUtf8(slot, tables);
    if (slot != tcp::AnsiFromUtf8(input, units)) std::abort();
  }
  return 0;
}
