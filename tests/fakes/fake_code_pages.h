#pragma once

#include "platform/code_pages.h"

namespace tcp::fakes {

// Code page 1251 as the ANSI and 866 as the OEM code page, the way a Russian
// Windows has them, from tables of their upper halves. Characters that the
// target cannot hold become "?", as the platform's default replacement does.
// The ANSI conversions can take 1252 or 866 instead.
class FakeCodePages : public CodePages {
 public:
  std::u16string ansiToUtf16(std::string_view ansi) override;
  std::string utf16ToAnsi(std::u16string_view units) override;
  std::string oemToAnsi(std::string_view oem) override;
  std::string ansiToOem(std::string_view ansi) override;
  std::string lowerAnsi(std::string_view ansi) override;
  bool isLeadByte(unsigned char byte) override;
  // Built from the ANSI conversions, without counting as calls of them.
  std::shared_ptr<const SingleByteCodePage> singleByteCodePage() override;

  // The code page of ansiToUtf16 and utf16ToAnsi: 1251, 1252 or 866.
  unsigned ansiPage = 1251;
  // Whether a single-byte code page offers its tables.
  bool tables = true;

  // Code page 932's lead bytes (0x81 to 0x9F, 0xE0 to 0xFC) open two-byte
  // characters, each its own unit from 0x4000 on; a lead with nothing after
  // it becomes U+30FB, as the platform makes of a character cut short.
  bool doubleByte = false;
  // What the last utf16ToAnsi call was given.
  std::u16string lastUnitsToAnsi;
  // The most bytes or units one ansiToUtf16 or utf16ToAnsi call was given.
  std::size_t longestInput = 0;

 private:
  std::shared_ptr<const SingleByteCodePage> tables_;
  unsigned tablesOf_ = 0;
};

}  // namespace tcp::fakes
