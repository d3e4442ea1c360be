#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The status line and the field lines of a response's header block, read as
// HTTP/1.1 writes them. Lines end at LF, a CR before it dropped.
namespace tcp {

struct StatusLine {
  int code = 0;
  std::string_view reason;  // possibly empty
};

// "HTTP/" and a version, one blank, three digits, then the end of the line or
// a blank and the reason phrase; nothing for any other line.
std::optional<StatusLine> ParseStatusLine(std::string_view line);

// The first line of a header block, without its line end.
std::string_view FirstLine(std::string_view headerBlock);

// The values of the fields called name (ASCII letters in any case, blanks
// before the colon ignored), in order, each without the blanks and tabs around
// it. A line that begins with a blank or a tab continues the field before it
// (obsolete line folding) and joins its value after one blank. The status
// line and lines without a colon are no fields.
std::vector<std::string> FieldValues(std::string_view headerBlock, std::string_view name);

// The values of the fields called name joined into one, as RFC 9110 section
// 5.3 allows: with ", ", except Set-Cookie, whose values may hold commas
// themselves and are joined with LF. An empty name names no field.
struct CombinedField {
  std::string value;
  std::int32_t count = 0;
};
CombinedField CombineFieldValues(std::string_view headerBlock, std::string_view name);

// Text with the blanks and tabs at both ends removed.
std::string_view TrimBlanks(std::string_view text);

}  // namespace tcp
