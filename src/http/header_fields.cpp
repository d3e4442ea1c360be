#include "http/header_fields.h"

#include "textops/textops.h"

namespace tcp {
namespace {

constexpr std::string_view kBlanks = " \t";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool continuesField(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

// The next line of text, without its LF and a CR before it.
std::string_view nextLine(std::string_view& text) {
  std::string_view line = CutToken(text, "\n");
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::optional<StatusLine> ParseStatusLine(std::string_view line) {
  if (line.substr(0, 5) != "HTTP/") return std::nullopt;
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos || line.size() < blank + 4) return std::nullopt;
  const std::string_view code = line.substr(blank + 1, 3);
  if (!isDigit(code[0]) || !isDigit(code[1]) || !isDigit(code[2])) return std::nullopt;
  const std::string_view rest = line.substr(blank + 4);
  if (!rest.empty() && rest[0] != ' ') return std::nullopt;
  StatusLine status;
  status.code = (code[0] - '0') * 100 + (code[1] - '0') * 10 + (code[2] - '0');
  status.reason = rest.empty() ? rest : rest.substr(1);
  return status;
}

std::string_view FirstLine(std::string_view headerBlock) { return nextLine(headerBlock); }

std::vector<std::string> FieldValues(std::string_view headerBlock, std::string_view name) {
  std::vector<std::string> values;
  nextLine(headerBlock);
  bool inField = false;  // the line before was a field called name
  while (!headerBlock.empty()) {
    const std::string_view line = nextLine(headerBlock);
    if (continuesField(line)) {
      const std::string_view more = TrimBlanks(line);
      if (inField && !more.empty()) (values.back() += values.back().empty() ? "" : " ") += more;
      continue;
    }
    const std::size_t colon = line.find(':');
    inField = colon != std::string_view::npos && EqualIgnoringAsciiCase(TrimBlanks(line.substr(0, colon)), name);
    if (inField) values.emplace_back(TrimBlanks(line.substr(colon + 1)));
  }
  return values;
}

CombinedField CombineFieldValues(std::string_view headerBlock, std::string_view name) {
  CombinedField field;
  if (name.empty()) return field;
  const std::string_view separator = EqualIgnoringAsciiCase(name, "Set-Cookie") ? "\n" : ", ";
  for (const std::string& value : FieldValues(headerBlock, name)) {
    if (field.count++ > 0) field.value += separator;
    field.value += value;
  }
  return field;
}

}  // namespace tcp
