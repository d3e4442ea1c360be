#pragma once

#include "platform/code_pages.h"
#include "plugin/exchange_area.h"

// The commands that re-encode the text slot in place. They touch nothing but
// ExchangeText and need nothing but the code pages, so they work from the
// moment the library is loaded.
namespace tcp {

// ANSI text to UTF-8.
void utfenk(ExchangeArea& area, CodePages& codePages);
// UTF-8 to ANSI text; the empty text when the input is not acceptable UTF-8.
void utfdek(ExchangeArea& area, CodePages& codePages);
// OEM to ANSI code page and back; the whole text, zero bytes kept in place.
void oem2ansi(ExchangeArea& area, CodePages& codePages);
void ansi2oem(ExchangeArea& area, CodePages& codePages);

}  // namespace tcp
