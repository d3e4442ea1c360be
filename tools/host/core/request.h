#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "url.h"

namespace tcphost {

// One request as tcphost composes it for sendc.
struct Request {
  std::string method = "GET";
  Url url;
  std::vector<std::string> headers;  // "Name: value" lines the user gave (-H)
  std::optional<std::string> body;   // -d: sent with its Content-Length
  bool closeAfter = false;           // asks for Connection: close
};

// The request line, Host (unless the user gave one), the user's fields,
// Content-Length and a form Content-Type for a body (unless given), and
// Connection: close when asked, then the body.
std::string RequestText(const Request& request);

// Whether a response with this status sends the client on to its Location
// (301, 302, 303, 307, 308).
bool IsRedirect(int status);

// The request that follows a redirect to target: 303, and 301 or 302 after a
// POST, become GET without a body (as browsers and curl do); 307 and 308 keep
// the method and the body.
Request Redirected(const Request& request, int status, Url target);

// The status code of a header block's status line; 0 when it has none.
int StatusCodeOf(std::string_view headerBlock);

}  // namespace tcphost
