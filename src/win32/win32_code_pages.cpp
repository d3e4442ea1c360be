#include <limits>

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

// The text calls take int or DWORD lengths; texts beyond that are not
// something a host can hand over through a zero-terminated string anyway.
int lengthOf(std::size_t size) {
  return size > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(size);
}

class Win32CodePages final : public CodePages {
 public:
  std::u16string ansiToUtf16(std::string_view ansi) override {
    if (ansi.empty()) return {};
    const int length = lengthOf(ansi.size());
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), length, nullptr, 0);
    std::u16string result(static_cast<std::size_t>(units > 0 ? units : 0), u'\0');
    if (units > 0)
      MultiByteToWideChar(CP_THREAD_ACP, 0, ansi.data(), length,
                          reinterpret_cast<wchar_t*>(result.data()), units);
    return result;
  }

  std::string utf16ToAnsi(std::u16string_view units) override {
    if (units.empty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    const int length = lengthOf(units.size());
    const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
      WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, result.data(), bytes, nullptr, nullptr);
    return result;
  }

  std::string oemToAnsi(std::string_view oem) override {
    std::string result(oem);
    if (!result.empty()) OemToCharBuffA(result.data(), result.data(), static_cast<DWORD>(lengthOf(result.size())));
    return result;
  }

  std::string ansiToOem(std::string_view ansi) override {
    std::string result(ansi);
    if (!result.empty()) CharToOemBuffA(result.data(), result.data(), static_cast<DWORD>(lengthOf(result.size())));
    return result;
  }

  std::string lowerAnsi(std::string_view ansi) override {
    std::string result(ansi);
    if (!result.empty()) CharLowerBuffA(result.data(), static_cast<DWORD>(lengthOf(result.size())));
    return result;
  }
};

}  // namespace

CodePages& codePages() {
  static Win32CodePages instance;
  return instance;
}

}  // namespace tcp::win32
