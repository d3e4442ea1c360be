#include "http/http_commands.h"
#include "http/message_parts.h"
#include "textops/textops.h"

namespace tcp {
namespace {

// The text strictly between the first start marker and the first end marker
// after it. Without the start marker there is nothing between: the result is
// empty rather than text from wherever the missing position would point.
// Empty markers are found where FindText places them.
std::string betweenMarkers(std::string_view source, std::string_view start, std::string_view end) {
  const std::int32_t found = FindText(source, start);
  if (found == -1) return {};
  const std::string_view after = TextFrom(source, found + static_cast<std::int32_t>(start.size()));
  const std::int32_t length = FindText(after, end) - 1;
  return length > 0 ? std::string(after.substr(0, static_cast<std::size_t>(length))) : std::string();
}

}  // namespace

void getheader(ExchangeArea& area, const ResponseState& response) {
  const std::size_t end = HeaderBlockEnd(response.ReceiveBuffer);
  if (end == std::string::npos) return;
  area.ExchangeText.assign(response.ReceiveBuffer, 0, end);
  area.ExchangeText += '\0';
}

void gethtml0(ExchangeArea& area, const ResponseState& response) {
  area.ExchangeText = MessageBody(response.ReceiveBuffer);
}

void gethtml(ExchangeArea& area, const ResponseState& response) {
  std::string_view body = MessageBody(response.ReceiveBuffer);
  CutToken(body, "\n");
  area.ExchangeText = body;
}

void getotvetlen(ExchangeArea& area, const ResponseState& response) {
  area.ExchangeText = NumberText(response.ResponseLength);
}

void parserez(ExchangeArea& area, const ResponseState& response) {
  area.ExchangeText = betweenMarkers(response.DecodedBody, area.FileHistory[1], area.FileHistory[0]);
}

void parseotvet(ExchangeArea& area, const ResponseState& response) {
  area.ExchangeText = betweenMarkers(response.ReceiveBuffer, area.FileHistory[1], area.FileHistory[0]);
}

}  // namespace tcp
