#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tcphost {

// tcphost fetch's command line.
struct FetchOptions {
  std::vector<std::string> urls;
  std::string output;   // -o: savebin into this file
  std::string all;      // --all: savebinall into this file
  std::string header;   // --header: only the header lines with this name
  std::string cacert;   // --cacert: a certificate trusted with addca
  std::string cert;     // --cert: a PKCS#12 file offered with setcert
  std::string pass;     // --pass: its password
  std::string proxy;    // --proxy (-x): host:port, else the environment's choice
  std::string method;   // -X; empty: GET, HEAD with -I, POST with -d
  std::optional<std::string> data;   // -d
  std::vector<std::string> headers;  // -H, in order
  int timeoutSeconds = 30;
  bool utf8 = false;
  bool insecure = false;
  bool verbose = false;
  bool follow = false;   // -L
  bool head = false;     // -I
  bool fail = false;     // --fail
  bool silent = false;   // -s
};

// The exit statuses of tcphost fetch, as curl has them where curl has one.
enum FetchStatus : int {
  kFetchDone = 0,
  kFetchFailed = 1,       // no connection, no name, no answer in time, a broken connection
  kFetchUsage = 2,        // a mistake in the command line
  kFetchTruncated = 18,   // the connection closed before the body was complete
  kFetchHttpError = 22,   // --fail and a status of 400 or more
  kFetchTooManyRedirects = 47,
};

// The arguments after "fetch"; nothing, and the reason in `problem`, for a
// command line tcphost cannot run.
std::optional<FetchOptions> ParseFetchOptions(const std::vector<std::string>& arguments, std::string& problem);

// The method of the first request.
std::string MethodOf(const FetchOptions& options);

}  // namespace tcphost
