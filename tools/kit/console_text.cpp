#include "console_text.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

namespace tcphost {

namespace {

// A console gets the text as UTF-16 (it would read bytes in its own code
// page); files and pipes get the UTF-8 bytes as they are.
void write(std::FILE* stream, DWORD handleName, std::string_view utf8) {
  std::fflush(stream);
  HANDLE handle = GetStdHandle(handleName);
  DWORD mode = 0;
  if (!utf8.empty() && GetConsoleMode(handle, &mode)) {
    const int length = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0)),
                      L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), static_cast<int>(wide.size()));
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace

void writeOut(std::string_view bytes) { write(stdout, STD_OUTPUT_HANDLE, bytes); }

void writeError(std::string_view bytes) { write(stderr, STD_ERROR_HANDLE, bytes); }

void printLine(std::string_view utf8) {
  writeOut(std::string(utf8) + "\n");
}

void printError(std::string_view utf8) { writeError(std::string(utf8) + "\n"); }

bool errorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

std::string ansiToUtf8(std::string_view ansi) {
  if (ansi.empty()) return {};
  const int length = static_cast<int>(ansi.size());
  std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), static_cast<int>(wide.size()));
  const int wideLength = static_cast<int>(wide.size());
  std::string utf8(static_cast<std::size_t>(
                       WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr)),
                   '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), static_cast<int>(utf8.size()), nullptr,
                      nullptr);
  return utf8;
}

std::optional<std::string> utf8ToAnsi(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const int length = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, wide.data(), units);
  BOOL lacking = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, nullptr, 0, nullptr, &lacking);
  if (bytes <= 0 || lacking) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, ansi.data(), bytes, nullptr, nullptr);
  return ansi;
}

std::string hexBytes(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char byte : bytes) {
    if (!text.empty()) text += ' ';
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

std::string eventLine(std::int32_t code, std::string_view ansiText) {
  static constexpr const char* kMeanings[] = {"?",        "connected",    "disconnected", "error",
                                              "progress", "resolved",     "not resolved", "complete"};
  const char* meaning = code >= 1 && code <= 7 ? kMeanings[code] : "?";
  return "event " + std::to_string(code) + " (" + meaning + "): " + ansiToUtf8(ansiText);
}

}  // namespace tcphost
