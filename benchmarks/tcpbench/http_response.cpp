#include "http_response.h"

#include <algorithm>
#include <cstdint>

namespace tcpbench {

namespace {

constexpr std::size_t kChunkSize = 16 * 1024;

// Bytes that do not repeat in a short cycle, so a misplaced block shows.
void appendBody(std::string& out, std::size_t size) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  const std::size_t start = out.size();
  out.resize(start + size);
  for (std::size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    const auto byte = static_cast<unsigned char>(state);
    out[start + i] = static_cast<char>(byte == 0 ? 1 : byte);
  }
}

char hexDigit(std::size_t value) { return "0123456789abcdef"[value & 15]; }

std::string hexNumber(std::size_t value) {
  std::string digits;
  do {
    digits.insert(digits.begin(), hexDigit(value));
    value >>= 4;
  } while (value != 0);
  return digits;
}

std::string chunkedBody(const std::string& body) {
  std::string coded;
  coded.reserve(body.size() + body.size() / kChunkSize * 12 + 64);
  for (std::size_t at = 0; at < body.size(); at += kChunkSize) {
    const std::size_t length = std::min(kChunkSize, body.size() - at);
    coded += hexNumber(length);
    coded += "\r\n";
    coded.append(body, at, length);
    coded += "\r\n";
  }
  coded += "0\r\n\r\n";
  return coded;
}

}  // namespace

std::string benchRequest() { return "GET /bench HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"; }

std::string benchUpload(std::size_t bodySize) {
  std::string request = "POST /upload HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/octet-stream\r\n"
                        "Content-Length: " + std::to_string(bodySize) + "\r\n\r\n";
  appendBody(request, bodySize);
  return request;
}

std::string benchUploadReply() { return "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"; }

std::string benchResponse(std::size_t bodySize, bool chunked) {
  std::string body;
  appendBody(body, bodySize);
  std::string response = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
  if (!chunked) {
    response += "Content-Length: " + std::to_string(bodySize) + "\r\n\r\n";
    response.reserve(response.size() + body.size());
    response += body;
    return response;
  }
  response += "Transfer-Encoding: chunked\r\n\r\n";
  response += chunkedBody(body);
  return response;
}

}  // namespace tcpbench
