#include "http/received_response.h"

namespace tcp {
namespace {

// Storage up to this size is kept for the next response; more is given back,
// so that one large response does not hold its memory for the library's life.
constexpr std::size_t kKeptCapacity = 1 << 20;

void empty(std::string& text) {
  if (text.capacity() > kKeptCapacity)
    std::string().swap(text);
  else
    text.clear();
}

}  // namespace

void ReceivedResponse::startNew() {
  empty(ReceiveBuffer);
  ResponseLength = 0;
  LengthPending = true;
  LengthSearch = {};
  empty(HeaderText);
  empty(DecodedBody);
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
