// Every HTTP command over an arbitrary response and arbitrary markers: no
// over-read, results that are parts of their input where they must be, the
// marker search equal to a plain one, the header lines bounded, and a field's
// combined value no longer than the header block that holds it.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fake_code_pages.h"
#include "http/header_fields.h"
#include "http/header_lines.h"
#include "http/message_parts.h"
#include "textops/textops.h"

namespace {

// The text between markers the slow way: positions from a plain search.
std::string_view slowTextBetween(std::string_view source, std::string_view start, std::string_view end) {
  if (source.empty()) return {};
  const auto found = [](std::string_view text, std::string_view marker) -> std::size_t {
    if (!marker.empty()) return text.find(marker);
    const std::size_t zero = text.find('\0');
    return zero != std::string_view::npos ? zero : text.size() - 1;
  };
  const std::size_t at = found(source, start);
  if (at == std::string_view::npos) return {};
  const std::string_view after = source.substr(std::min(source.size(), at + start.size()));
  if (after.empty()) return {};
  const std::size_t length = found(after, end);
  return length == std::string_view::npos ? std::string_view() : after.substr(0, length);
}

bool isSuffix(std::string_view part, std::string_view whole) {
  return part.empty() || (part.data() >= whole.data() && part.data() + part.size() == whole.data() + whole.size());
}

}  // namespace

// The input: two bytes giving the lengths of the start and end markers, the
// markers, then the response.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string start(rest.substr(0, std::min<std::size_t>(data[0] % 32, rest.size())));
  rest.remove_prefix(start.size());
  const std::string end(rest.substr(0, std::min<std::size_t>(data[1] % 32, rest.size())));
  rest.remove_prefix(end.size());
  const std::string response(rest);

  std::string text = "unchanged";
  const bool hasBlock = tcp::HeaderBlockText(response, text);
  if (hasBlock != (response.find("\r\n\r\n") != std::string::npos)) std::abort();
  if (hasBlock && (text.back() != '\0' || response.compare(0, text.size() - 1, text, 0, text.size() - 1) != 0)) std::abort();

  const std::string_view body = tcp::MessageBody(response);
  if (!isSuffix(body, response) || !isSuffix(tcp::BodyAfterFirstLine(response), body)) std::abort();
  if (tcp::TextBetween(response, start, end) != slowTextBetween(response, start, end)) std::abort();

  std::string headerText, decodedBody;
  tcp::SplitResponse(response, headerText, decodedBody);
  if (headerText.size() > response.size() || decodedBody.size() > body.size()) std::abort();
  const std::vector<std::string> lines = tcp::SplitLines(headerText);
  if (lines.size() > tcp::kMostHeaderLines) std::abort();

  tcp::fakes::FakeCodePages codePages;
  const std::string named = tcp::HeaderLinesNamed(lines, start, codePages);
  if (named.size() > headerText.size()) std::abort();

  const tcp::CombinedField field = tcp::CombineFieldValues(headerText, start);
  const std::size_t separators = field.count > 0 ? 2 * static_cast<std::size_t>(field.count - 1) : 0;
  if (field.value.size() > headerText.size() + separators || (field.count == 0 && !field.value.empty())) std::abort();
  if (const auto status = tcp::ParseStatusLine(tcp::FirstLine(headerText)))
    if (status->code < 0 || status->code > 999 || !isSuffix(status->reason, tcp::FirstLine(headerText))) std::abort();
  return 0;
}
