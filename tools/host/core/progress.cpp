#include "progress.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

#include "ascii_case.h"

namespace tcphost {

std::optional<std::uint64_t> BufferedBytes(std::string_view statusText) {
  constexpr std::string_view kLabel = " bufer ";
  const std::size_t at = statusText.rfind(kLabel);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view digits = statusText.substr(at + kLabel.size());
  std::uint64_t count = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), count);
  if (error != std::errc() || end == digits.data()) return std::nullopt;
  return count;
}

std::string ByteCount(std::uint64_t bytes) {
  char text[32];
  if (bytes < 1024) std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  else if (bytes < 1024 * 1024) std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
  else std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
  return text;
}

std::string ProgressLine(const Progress& progress, int width) {
  if (progress.declared == 0) return ByteCount(progress.bodyReceived) + " received";
  const std::uint64_t shown = std::min(progress.bodyReceived, progress.declared);
  const int percent = static_cast<int>(shown * 100 / progress.declared);
  const int filled = static_cast<int>(shown * static_cast<std::uint64_t>(width) / progress.declared);
  char number[8];
  std::snprintf(number, sizeof number, "%3d%%", percent);
  std::string line = "[";
  line.append(static_cast<std::size_t>(filled), '#').append(static_cast<std::size_t>(width - filled), '.');
  return line + "] " + number + "  " + ByteCount(shown) + " of " + ByteCount(progress.declared);
}

bool DeclaresUtf8(std::string_view headerBlock) {
  const std::string lower = AsciiLower(headerBlock);
  std::size_t at = 0;
  while ((at = lower.find("\ncontent-type:", at)) != std::string::npos) {
    ++at;
    const std::size_t end = std::min(lower.find('\n', at), lower.size());
    const std::string_view line = std::string_view(lower).substr(at, end - at);
    if (line.find("charset=utf-8") != std::string_view::npos ||
        line.find("charset=\"utf-8\"") != std::string_view::npos)
      return true;
  }
  return false;
}

}  // namespace tcphost
