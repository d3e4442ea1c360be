#include "http/header_lines.h"
#include "http/http_commands.h"

namespace tcp {

void makeheader(ResponseState& response) {
  if (response.HeaderLines) *response.HeaderLines = SplitLines(response.HeaderText);
}

// The mask is the name followed by "*", lower-cased once; a name holding a
// zero byte ends there and loses the "*", so it then takes only equal lines.
void getheadername(ExchangeArea& area, const ResponseState& response, CodePages& codePages) {
  const std::string mask = codePages.lowerAnsi(area.ExchangeText + "*");
  const std::string_view maskText = UntilZero(mask);
  std::string result;
  if (response.HeaderLines) {
    for (const std::string& line : *response.HeaderLines) {
      if (line.empty()) continue;
      const std::string lower = codePages.lowerAnsi(line);
      if (WildcardMatch(UntilZero(lower), maskText)) result += line;
    }
  }
  area.ExchangeText = std::move(result);
}

}  // namespace tcp
