#include "textconv/text_conversions.h"

#include "textconv/utf8_codec.h"

namespace tcp {

void utfenk(ExchangeArea& area, CodePages& codePages) {
  if (area.ExchangeText.empty()) return;
  area.ExchangeText = EncodeUtf8(codePages.ansiToUtf16(area.ExchangeText));
}

void utfdek(ExchangeArea& area, CodePages& codePages) {
  if (area.ExchangeText.empty()) return;
  const std::optional<std::u16string> units = DecodeUtf8(area.ExchangeText);
  area.ExchangeText = units ? codePages.utf16ToAnsi(*units) : std::string();
}

void oem2ansi(ExchangeArea& area, CodePages& codePages) {
  area.ExchangeText = codePages.oemToAnsi(area.ExchangeText);
}

void ansi2oem(ExchangeArea& area, CodePages& codePages) {
  area.ExchangeText = codePages.ansiToOem(area.ExchangeText);
}

}  // namespace tcp
