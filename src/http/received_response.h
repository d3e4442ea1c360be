#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "http/declared_length.h"
#include "http/receive_storage.h"
#include "http/response_framing.h"

namespace tcp {

// What the library keeps of the current response: the bytes as they arrive,
// the length they declare, and what makechunkeds split them into.
struct ReceivedResponse {
  // Every byte received since the last request, in arrival order, zero bytes
  // included. It is both the receive buffer that recev and the text commands
  // read and the receive stream that the file and chunk commands read: the two
  // always hold the same bytes, so they are stored once.
  ReceiveStorage ReceiveBuffer;
  // The declared length of the current response; always a whole number.
  double ResponseLength = 0;
  // True from the request until the declared length has been read.
  bool LengthPending = false;
  // How far the search for the declared length has come.
  LengthScan LengthSearch;
  // The header block that makechunkeds split off, up to and including the CR
  // that opens the first CR LF CR LF.
  std::string HeaderText;
  // The body as makechunkeds decoded it.
  std::string DecodedBody;
  // The lines of HeaderText. A new request leaves them alone.
  std::vector<std::string> HeaderLines;
  // Where the response ends, followed arrival by arrival.
  ResponseFraming Framing;

  // A new request opens a new response: everything but HeaderLines is
  // emptied, and the declared length and the framing are looked for afresh.
  // request: the text of the request, which tells a HEAD request.
  void startNew(std::string_view request = {});
  // Appends an arrival, reads the declared length from every byte received
  // so far while it is pending, and moves the framing on.
  void append(std::string_view piece);

  // An arrival received in place: room for count more bytes at the end of
  // ReceiveBuffer for a read to write into, then completeArrival with how many
  // it brought. Until then the room's bytes are undefined and nothing else may
  // touch the response. Throws std::bad_alloc when no room can be had.
  char* prepareArrival(std::size_t count);
  void completeArrival(std::size_t count);
  // The room prepareArrival gave and no arrival has completed yet; null when
  // there is none.
  const char* preparedRoom() const { return prepared_ ? ReceiveBuffer.data() + arrivalStart_ : nullptr; }

 private:
  void readDeclaredLength();
  void reserveForDeclaredLength();

  bool prepared_ = false;
  std::size_t arrivalStart_ = 0;
};

}  // namespace tcp
