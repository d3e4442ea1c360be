#include "http/header_lines.h"

#include "textops/textops.h"

namespace tcp {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t cr; lines.size() < kMostHeaderLines && (cr = text.find('\r', start)) != std::string_view::npos;) {
    lines.emplace_back(text.substr(start, cr - start));
    start = cr + 1;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  if (lines.size() < kMostHeaderLines && start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// Greedy matching that returns to the last "*" on a mismatch: with a mask that
// ends in its only "*", as a header name plus "*" does, each byte is looked at
// once.
bool WildcardMatch(std::string_view text, std::string_view mask) {
  std::size_t t = 0, m = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = t;
    } else if (m < mask.size() && (mask[m] == '?' || mask[m] == text[t])) {
      ++t;
      ++m;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

bool MaskMatch(std::string_view text, std::string_view mask, CodePages& codePages) {
  if (text.empty() || mask.empty()) return false;
  return WildcardMatch(UntilZero(codePages.lowerAnsi(text)), UntilZero(codePages.lowerAnsi(mask)));
}

namespace {

// When the lower-cased mask is a plain name followed by its only "*", a line
// matches when its lower-cased start is that name: only that start needs
// lowering. One byte more is lowered, so that a character of two bytes across
// the end of the name is lowered whole, as it is in the whole line.
bool startsWithLowered(std::string_view line, std::string_view lowerName, CodePages& codePages) {
  if (line.size() < lowerName.size()) return false;
  const std::string lowerStart = codePages.lowerAnsi(line.substr(0, lowerName.size() + 1));
  return std::string_view(lowerStart).substr(0, lowerName.size()) == lowerName;
}

bool isPlainName(std::string_view text) { return text.find_first_of("*?") == std::string_view::npos; }

}  // namespace

// The mask is lower-cased once; each line is lower-cased for its own match,
// or only as far as the name reaches.
std::string HeaderLinesNamed(const std::vector<std::string>& lines, std::string_view name, CodePages& codePages) {
  std::string mask(name);
  mask += '*';
  const std::string lowerMask = codePages.lowerAnsi(mask);
  const std::string_view maskText = UntilZero(lowerMask);
  const bool prefixOnly = !maskText.empty() && maskText.back() == '*' && isPlainName(maskText.substr(0, maskText.size() - 1));
  std::string result;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    const bool match = prefixOnly ? startsWithLowered(line, maskText.substr(0, maskText.size() - 1), codePages)
                                  : WildcardMatch(UntilZero(codePages.lowerAnsi(line)), maskText);
    if (match) result += line;
  }
  return result;
}

}  // namespace tcp
