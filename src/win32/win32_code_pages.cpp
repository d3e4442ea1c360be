#include <algorithm>
#include <limits>
#include <memory>
#include <mutex>

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

// MultiByteToWideChar and WideCharToMultiByte take int lengths: a longer
// text gives the empty result, never a silently cut one. (The conversion
// commands hand them blocks of a few KiB.)
bool tooLong(std::size_t size) { return size > static_cast<std::size_t>(std::numeric_limits<int>::max()); }

// The byte-for-byte conversions take DWORD lengths: longer texts go piece by
// piece.
template <typename Convert>
void byPieces(std::string& text, Convert convert) {
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  for (std::size_t at = 0; at < text.size(); at += kPiece)
    convert(text.data() + at, static_cast<DWORD>(std::min(kPiece, text.size() - at)));
}

std::u16string unitsOf(UINT codePage, std::string_view ansi) {
  if (ansi.empty() || tooLong(ansi.size())) return {};
  const int length = static_cast<int>(ansi.size());
  const int units = MultiByteToWideChar(codePage, 0, ansi.data(), length, nullptr, 0);
  std::u16string result(static_cast<std::size_t>(units > 0 ? units : 0), u'\0');
  if (units > 0)
    MultiByteToWideChar(codePage, 0, ansi.data(), length, reinterpret_cast<wchar_t*>(result.data()), units);
  return result;
}

std::string bytesOf(UINT codePage, std::u16string_view units) {
  if (units.empty() || tooLong(units.size())) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
  const int length = static_cast<int>(units.size());
  const int bytes = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) WideCharToMultiByte(codePage, 0, wide, length, result.data(), bytes, nullptr, nullptr);
  return result;
}

// CP_THREAD_ACP follows the thread's locale, which the host may change
// between calls: the tables are those of the code page it stands for now.
class Win32CodePages final : public CodePages {
 public:
  explicit Win32CodePages(UINT codePage) : codePage_(codePage) {}

  std::u16string ansiToUtf16(std::string_view ansi) override { return unitsOf(codePage_, ansi); }

  std::string utf16ToAnsi(std::u16string_view units) override { return bytesOf(codePage_, units); }

  std::shared_ptr<const SingleByteCodePage> singleByteCodePage() override {
    CPINFOEXW info;
    if (!GetCPInfoExW(codePage_, 0, &info) || info.MaxCharSize != 1) return nullptr;
    const UINT number = info.CodePage;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!built_ || tablesOf_ != number) {
      tables_ = BuildSingleByteCodePage([number](std::string_view ansi) { return unitsOf(number, ansi); },
                                        [number](std::u16string_view units) { return bytesOf(number, units); });
      tablesOf_ = number;
      built_ = true;
    }
    return tables_;
  }

  std::string oemToAnsi(std::string_view oem) override {
    std::string result(oem);
    byPieces(result, [](char* piece, DWORD length) { OemToCharBuffA(piece, piece, length); });
    return result;
  }

  std::string ansiToOem(std::string_view ansi) override {
    std::string result(ansi);
    byPieces(result, [](char* piece, DWORD length) { CharToOemBuffA(piece, piece, length); });
    return result;
  }

  bool isLeadByte(unsigned char byte) override { return IsDBCSLeadByteEx(codePage_, byte) != 0; }

  std::string lowerAnsi(std::string_view ansi) override {
    std::string result(ansi);
    byPieces(result, [](char* piece, DWORD length) { CharLowerBuffA(piece, length); });
    return result;
  }

 private:
  const UINT codePage_;
  std::mutex mutex_;
  bool built_ = false;
  UINT tablesOf_ = 0;
  std::shared_ptr<const SingleByteCodePage> tables_;
};

}  // namespace

CodePages& codePages() {
  static Win32CodePages instance(CP_THREAD_ACP);
  return instance;
}

std::unique_ptr<CodePages> codePagesOf(unsigned codePage) { return std::make_unique<Win32CodePages>(codePage); }

}  // namespace tcp::win32
