#include "request.h"

#include "ascii_case.h"

namespace tcphost {

namespace {

bool hasField(const std::vector<std::string>& headers, std::string_view name) {
  for (const std::string& line : headers) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && AsciiLower(line.substr(0, colon)) == AsciiLower(name)) return true;
  }
  return false;
}

}  // namespace

std::string RequestText(const Request& request) {
  std::string text = request.method + " " + request.url.path + " HTTP/1.1\r\n";
  if (!hasField(request.headers, "Host")) text += "Host: " + Authority(request.url) + "\r\n";
  for (const std::string& line : request.headers) text += line + "\r\n";
  if (request.body) {
    if (!hasField(request.headers, "Content-Type")) text += "Content-Type: application/x-www-form-urlencoded\r\n";
    text += "Content-Length: " + std::to_string(request.body->size()) + "\r\n";
  }
  if (request.closeAfter) text += "Connection: close\r\n";
  text += "\r\n";
  if (request.body) text += *request.body;
  return text;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Request Redirected(const Request& request, int status, Url target) {
  Request next = request;
  next.url = std::move(target);
  if (status == 303 || ((status == 301 || status == 302) && request.method == "POST")) {
    if (next.method != "HEAD") next.method = "GET";
    next.body.reset();
  }
  return next;
}

int StatusCodeOf(std::string_view headerBlock) {
  const std::size_t blank = headerBlock.find(' ');
  if (headerBlock.substr(0, 5) != "HTTP/" || blank == std::string_view::npos || headerBlock.size() < blank + 4) return 0;
  int code = 0;
  for (const char c : headerBlock.substr(blank + 1, 3)) {
    if (c < '0' || c > '9') return 0;
    code = code * 10 + (c - '0');
  }
  return code;
}

}  // namespace tcphost
