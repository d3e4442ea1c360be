#pragma once

#include <string>

#include "textconv/utf8_codec.h"

// Inputs on which a code page's tables and its UTF-16 path must agree, for
// the native tests and the Windows-side ones alike.
namespace tcp {

// Every byte value once, in order.
inline std::string EveryByte() {
  std::string bytes;
  for (int byte = 0; byte < 256; ++byte) bytes += static_cast<char>(byte);
  return bytes;
}

// Every UTF-16 unit but the surrogates, in order, each as its UTF-8 bytes.
inline std::string EveryUnitAsUtf8() {
  std::string text;
  for (char32_t unit = 0; unit < 0x10000; ++unit)
    if (unit < 0xD800 || unit >= 0xE000) text += EncodeUtf8(std::u16string(1, static_cast<char16_t>(unit)));
  return text;
}

}  // namespace tcp
