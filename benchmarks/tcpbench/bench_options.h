#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tcpbench {

struct Options {
  std::size_t sizeMiB = 256;
  int runs = 5;
  bool chunked = false;
  bool events = false;  // queued events (setevents 1) in the plug-in's runs
  bool send = false;    // sending a request of the size instead of receiving a response
  std::string dllPath;  // empty: tcp.dll beside the program
};

// Reads --size N, --runs R, --dll PATH, --chunked, --events and --send; prints what is wrong and
// returns nothing on a bad command line.
std::optional<Options> parseOptions(int argc, char** argv);

}  // namespace tcpbench
