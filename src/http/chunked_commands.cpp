#include "http/http_commands.h"
#include "http/message_parts.h"

namespace tcp {

void makechunkeds(ExchangeArea& area, ResponseState& response) {
  const std::string_view received = response.ReceiveBuffer;
  const std::size_t end = HeaderBlockEnd(received);
  // The header block keeps the CR that opens the separator.
  response.HeaderText = end == std::string_view::npos ? std::string() : std::string(received.substr(0, end + 1));
  makeheader(response);
  MessagePayload(received, response.DecodedBody);
  area.ExchangeText = response.DecodedBody;
}

void savebin(const ExchangeArea& area, const ResponseState& response, FileSystem& files) {
  std::string payload;
  MessagePayload(response.ReceiveBuffer, payload);
  files.writeFile(area.ExchangeText, payload);
}

void savebinall(const ExchangeArea& area, const ResponseState& response, FileSystem& files) {
  files.writeFile(area.ExchangeText, response.ReceiveBuffer);
}

}  // namespace tcp
