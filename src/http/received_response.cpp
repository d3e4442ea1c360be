#include "http/received_response.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace tcp {
namespace {

// The most a declared length reserves before any of its bytes have come: a
// length is a stranger's word. A 32-bit host has far less address space.
constexpr std::size_t kLargestReservation = sizeof(void*) >= 8 ? std::size_t{512} << 20 : std::size_t{128} << 20;
// Room for the header lines that may still follow the length's own line.
constexpr std::size_t kHeaderSlack = 64 << 10;

// Storage up to this size is kept for the next response; more is given back,
// so that one large response does not hold its memory for the library's life.
constexpr std::size_t kKeptCapacity = 1 << 20;

void empty(std::string& text) {
  if (text.capacity() > kKeptCapacity)
    std::string().swap(text);
  else
    text.clear();
}

void empty(ReceiveStorage& bytes) {
  if (bytes.capacity() > kKeptCapacity)
    bytes.release();
  else
    bytes.clear();
}

}  // namespace

void ReceivedResponse::startNew(std::string_view request) {
  prepared_ = false;
  Framing.start(request.substr(0, 5) == "HEAD ");
  empty(ReceiveBuffer);
  ResponseLength = 0;
  LengthPending = true;
  LengthSearch = {};
  empty(HeaderText);
  empty(DecodedBody);
}

void ReceivedResponse::append(std::string_view piece) {
  char* room = prepareArrival(piece.size());
  if (!piece.empty()) std::memcpy(room, piece.data(), piece.size());
  completeArrival(piece.size());
}

// The room is made without writing it: the read that follows is the one
// pass over these bytes.
char* ReceivedResponse::prepareArrival(std::size_t count) {
  if (prepared_) completeArrival(0);
  arrivalStart_ = ReceiveBuffer.size();
  char* room = ReceiveBuffer.extend(count);
  prepared_ = true;
  return room;
}

void ReceivedResponse::completeArrival(std::size_t count) {
  if (!prepared_) return;
  prepared_ = false;
  ReceiveBuffer.truncate(arrivalStart_ + std::min(count, ReceiveBuffer.size() - arrivalStart_));
  if (LengthPending) readDeclaredLength();
  Framing.advance(ReceiveBuffer);
}

void ReceivedResponse::readDeclaredLength() {
  const std::optional<double> length = ReadDeclaredLength(ReceiveBuffer, LengthSearch);
  if (!length) return;
  ResponseLength = *length;
  LengthPending = false;
  reserveForDeclaredLength();
}

// Once the length is known the whole response is given its room at once, so
// that it is never copied to a larger block while it arrives. A stranger's
// number reserves no more than kLargestReservation; past that, and when the
// reservation fails, the storage grows as it fills.
void ReceivedResponse::reserveForDeclaredLength() {
  if (ResponseLength <= 0) return;
  const std::size_t expected = ReceiveBuffer.size() + static_cast<std::size_t>(std::min<double>(
                                                          ResponseLength, static_cast<double>(kLargestReservation)));
  try {
    ReceiveBuffer.reserve(std::min(expected + kHeaderSlack, kLargestReservation));
  } catch (const std::exception&) {
  }
}

}  // namespace tcp
