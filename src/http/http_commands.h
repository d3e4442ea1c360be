#pragma once

#include "connection/response_state.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "plugin/exchange_area.h"

// The commands that take the received response apart. They read the response
// state and the exchange slots, leave their results in ExchangeText (and the
// response state's header and body texts), never change ExchangeValue and
// report nothing.
namespace tcp {

// The status line and header lines joined by CR LF, ended by one zero byte in
// place of the separator's first CR; ExchangeText unchanged without separator.
void getheader(ExchangeArea& area, const ResponseState& response);
// Everything after the first CR LF CR LF; empty without one.
void gethtml0(ExchangeArea& area, const ResponseState& response);
// The same less its first line; empty without separator or line feed.
void gethtml(ExchangeArea& area, const ResponseState& response);
// The declared length as decimal text.
void getotvetlen(ExchangeArea& area, const ResponseState& response);
// The text between the start marker (FileHistory[1]) and the first end marker
// (FileHistory[0]) after it, in DecodedBody or in the raw response; empty when
// the start marker does not occur.
void parserez(ExchangeArea& area, const ResponseState& response);
void parseotvet(ExchangeArea& area, const ResponseState& response);

// HeaderLines becomes the lines of HeaderText.
void makeheader(ResponseState& response);
// The header lines that begin with the name in ExchangeText, in any letter
// case, run together.
void getheadername(ExchangeArea& area, const ResponseState& response, CodePages& codePages);

// Splits the response into HeaderText, HeaderLines and DecodedBody (the body
// decoded from the chunked coding when the header block declares it), and
// leaves a copy of DecodedBody in ExchangeText.
void makechunkeds(ExchangeArea& area, ResponseState& response);
// Writes the message body (decoded when chunked) to the file named by
// ExchangeText; an empty file while no header block is complete.
void savebin(const ExchangeArea& area, const ResponseState& response, FileSystem& files);
// Writes every received byte to the file named by ExchangeText.
void savebinall(const ExchangeArea& area, const ResponseState& response, FileSystem& files);
// Removes the marker FileHistory[1] from ExchangeText until none is left.
void strip(ExchangeArea& area);

}  // namespace tcp
