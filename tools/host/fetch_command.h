#pragma once

#include <string>

#include "session.h"

namespace tcphost {

struct FetchOptions {
  std::string url;
  std::string output;   // -o: savebin into this file
  std::string all;      // --all: savebinall into this file
  std::string header;   // --header: only the header lines with this name
  std::string cacert;   // --cacert: a certificate trusted with addca
  int timeoutSeconds = 30;
  bool utf8 = false;
  bool insecure = false;
  bool verbose = false;
};

// tcphost fetch: the typical exchange through the plug-in. Returns the exit
// status: 0, or 1 after one line saying what failed.
int Fetch(Session& session, const FetchOptions& options);

}  // namespace tcphost
