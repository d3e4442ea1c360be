#include "http/received_response.h"

namespace tcp {

void ReceivedResponse::startNew() {
  ReceiveBuffer.clear();
  ResponseLength = 0;
  LengthPending = true;
  LengthSearch = {};
  HeaderText.clear();
  DecodedBody.clear();
}

void ReceivedResponse::append(std::string_view piece) {
  ReceiveBuffer.append(piece);
  if (!LengthPending) return;
  if (const std::optional<double> length = ReadDeclaredLength(ReceiveBuffer, LengthSearch)) {
    ResponseLength = *length;
    LengthPending = false;
  }
}

}  // namespace tcp
