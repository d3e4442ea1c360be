#pragma once

#include <string>
#include <string_view>

#include "platform/code_pages.h"

// The text re-encodings that the conversion commands apply to the text slot.
// Each takes a whole text, zero bytes included, and returns the new one; they
// need nothing but the code pages, so they work from the moment the library is
// loaded.
namespace tcp {

// ANSI text to UTF-8; the empty text when the code pages cannot convert it.
std::string Utf8FromAnsi(std::string_view ansi, CodePages& codePages);
// UTF-8 to ANSI text; the empty text when the input is not acceptable UTF-8.
std::string AnsiFromUtf8(std::string_view utf8, CodePages& codePages);
// The same two in place: the result replaces text, in its own storage when
// the code page is a single-byte one and the storage is large enough.
void ConvertToUtf8(std::string& text, CodePages& codePages);
void ConvertFromUtf8(std::string& text, CodePages& codePages);
// OEM to ANSI code page and back; the whole text, zero bytes kept in place.
std::string AnsiFromOem(std::string_view oem, CodePages& codePages);
std::string OemFromAnsi(std::string_view ansi, CodePages& codePages);

}  // namespace tcp
