#include "textconv/text_conversions.h"

#include "textconv/utf8_codec.h"

namespace tcp {

std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages) {
  if (ansi.empty()) return {};
  return EncodeUtf8(codePages.ansiToUtf16(ansi));
}

std::string AnsiFromUtf8(std::string_view utf8, CodePages& codePages) {
  if (utf8.empty()) return {};
  const std::optional<std::u16string> units = DecodeUtf8(utf8);
  return units ? codePages.utf16ToAnsi(*units) : std::string();
}

std::string AnsiFromOem(std::string_view oem, CodePages& codePages) { return codePages.oemToAnsi(oem); }

std::string OemFromAnsi(std::string_view ansi, CodePages& codePages) { return codePages.ansiToOem(ansi); }

}  // namespace tcp
