#pragma once

#include "platform/code_pages.h"

namespace tcp::fakes {

// Code page 1251 as the ANSI and 866 as the OEM code page, the way a Russian
// Windows has them, from tables of their upper halves. Characters that the
// target cannot hold become "?", as the platform's default replacement does.
class FakeCodePages : public CodePages {
 public:
  std::u16string ansiToUtf16(std::string_view ansi) override;
  std::string utf16ToAnsi(std::u16string_view units) override;
  std::string oemToAnsi(std::string_view oem) override;
  std::string ansiToOem(std::string_view ansi) override;
  std::string lowerAnsi(std::string_view ansi) override;

  // What the last utf16ToAnsi call was given.
  std::u16string lastUnitsToAnsi;
};

}  // namespace tcp::fakes
