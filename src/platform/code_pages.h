#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/single_byte_code_page.h"

namespace tcp {

// The system's ANSI and OEM code pages. Every call takes and returns texts with
// explicit lengths, so zero bytes pass through like any other byte.
class CodePages {
 public:
  virtual ~CodePages() = default;

  // ANSI bytes of the calling thread's code page to UTF-16 units, one call over
  // the whole text.
  virtual std::u16string ansiToUtf16(std::string_view ansi) = 0;
  // UTF-16 units to the thread's ANSI code page; unmappable characters are
  // replaced as the platform does by default.
  virtual std::string utf16ToAnsi(std::u16string_view units) = 0;
  // Byte-for-byte re-encoding between the system's OEM and ANSI code pages;
  // the result has the length of the input.
  virtual std::string oemToAnsi(std::string_view oem) = 0;
  virtual std::string ansiToOem(std::string_view ansi) = 0;
  // The platform's lower-casing of ANSI text in the active code page; same length.
  virtual std::string lowerAnsi(std::string_view ansi) = 0;
  // Whether byte opens a two-byte character in the thread's ANSI code page;
  // never for a single-byte code page.
  virtual bool isLeadByte(unsigned char byte) = 0;
  // The thread's ANSI code page as tables, built once for each code page, when
  // it is a single-byte one; null for a double-byte code page. The tables give
  // what ansiToUtf16 and utf16ToAnsi give, unit by unit.
  virtual std::shared_ptr<const SingleByteCodePage> singleByteCodePage() = 0;
};

}  // namespace tcp
