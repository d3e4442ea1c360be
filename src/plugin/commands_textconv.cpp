// The text conversion commands as the host calls them.
#include "plugin/library_state.h"
#include "textconv/text_conversions.h"

using tcp::library;

extern "C" {

void utfenk() { tcp::utfenk(library().exchange, *library().platform.codePages); }

void utfdek() { tcp::utfdek(library().exchange, *library().platform.codePages); }

void oem2ansi() { tcp::oem2ansi(library().exchange, *library().platform.codePages); }

void ansi2oem() { tcp::ansi2oem(library().exchange, *library().platform.codePages); }

}  // extern "C"
