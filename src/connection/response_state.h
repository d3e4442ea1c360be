#pragma once

#include <optional>
#include <string>
#include <vector>

#include "connection/declared_length.h"

namespace tcp {

// What the library keeps of the current response.
struct ResponseState {
  // Every byte received since the last sendc, in arrival order, zero bytes
  // included. It serves both as the receive buffer that recev and the text
  // commands read and as the receive stream that the file and chunk commands
  // read: the two always hold the same bytes, so they are stored once.
  std::string ReceiveBuffer;
  // The declared length of the current response; always a whole number.
  double ResponseLength = 0;
  // True from sendc until the declared length has been read.
  bool LengthPending = false;
  // How far the search for the declared length has come.
  LengthScan LengthSearch;
  // The header block that makechunkeds split off, up to and including the CR
  // that opens the first CR LF CR LF.
  std::string HeaderText;
  // The body as makechunkeds decoded it.
  std::string DecodedBody;
  // The lines of HeaderText; exists from the form's creation until its window
  // is destroyed.
  std::optional<std::vector<std::string>> HeaderLines;
};

}  // namespace tcp
