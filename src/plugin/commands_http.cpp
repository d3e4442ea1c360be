// The HTTP commands as the host calls them.
#include "http/http_commands.h"
#include "plugin/library_state.h"

using tcp::library;

extern "C" {

void getheader() { tcp::getheader(library().exchange, library().response); }

void gethtml0() { tcp::gethtml0(library().exchange, library().response); }

void gethtml() { tcp::gethtml(library().exchange, library().response); }

void getotvetlen() { tcp::getotvetlen(library().exchange, library().response); }

void parserez() { tcp::parserez(library().exchange, library().response); }

void parseotvet() { tcp::parseotvet(library().exchange, library().response); }

void makeheader() { tcp::makeheader(library().response); }

void getheadername() {
  tcp::getheadername(library().exchange, library().response, *library().platform.codePages);
}

void makechunkeds() { tcp::makechunkeds(library().exchange, library().response); }

void savebin() { tcp::savebin(library().exchange, library().response, *library().platform.files); }

void savebinall() { tcp::savebinall(library().exchange, library().response, *library().platform.files); }

void strip() { tcp::strip(library().exchange); }

}  // extern "C"
