#pragma once

#include <string>
#include <vector>

// Raw responses shared by the HTTP command tests, each with the message body a
// host should get from it (decoded when chunked) and its header lines.
namespace tcp::fixtures {

using namespace std::string_literals;

struct Response {
  const char* name;
  std::string raw;
  std::string payload;
  std::vector<std::string> headerLines;
};

inline const std::vector<Response>& responses() {
  static const std::vector<Response> all = {
      {"chunked 1a, 5, 0",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r\n\r\n"
       "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n12345\r\n0\r\n\r\n",
       "abcdefghijklmnopqrstuvwxyz12345",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked", "Content-Type: text/plain"}},
      {"chunked sizes in any case, with $ and extensions",
       "HTTP/1.1 200 OK\r\ntransfer-encoding: gzip, Chunked\r\n\r\n"
       "1A\r\nabcdefghijklmnopqrstuvwxyz\r\n$5;name=value\r\n12345\r\n0\r\nTrailer: x\r\n\r\n",
       "abcdefghijklmnopqrstuvwxyz12345",
       {"HTTP/1.1 200 OK", "transfer-encoding: gzip, Chunked"}},
      {"chunked binary with zero bytes",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\na\0b\0\r\n3\r\n\0\0\0\r\n0\r\n\r\n"s,
       "a\0b\0\0\0\0"s,
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"chunked with LF-only size lines",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\nabcd\r\n2\nef\r\n0\n\n",
       "abcdef",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"last chunk still arriving, its last byte ends the received data",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n5\r\n12345",
       "abc12345",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"chunk size 7FFFFFFF with three bytes arrived",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7FFFFFFF\r\nabc",
       "abc",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"chunk size FFFFFFF0 reads as negative and ends the body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nFFFFFFF0\r\nxyz\r\n0\r\n\r\n",
       "abc",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"chunk sizes too large for 32 bits end the body, however many digits spell them",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n100000005\r\nHTTP/1.1 framing\r\n0\r\n\r\n",
       "abc",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"chunk size FFFFFFFFF ends the body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nab\r\nFFFFFFFFF\r\nxyz\r\n",
       "ab",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"a 17-digit chunk size ends the body",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10000000000000003\r\nxyz\r\n0\r\n\r\n",
       "",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"leading zeros do not make a size large",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0000000000000000000003\r\nxyz\r\n0\r\n\r\n",
       "xyz",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked"}},
      {"plain body",
       "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nHello world",
       "Hello world",
       {"HTTP/1.1 200 OK", "Content-Length: 11"}},
      {"body that reads like a chunk size",
       "HTTP/1.1 400 Bad Request\r\nContent-Length: 11\r\n\r\nBad Request",
       "Bad Request",
       {"HTTP/1.1 400 Bad Request", "Content-Length: 11"}},
      {"chunked is not the last coding",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\nX-Transfer-Encoding: chunked\r\n\r\n5\r\nabcde\r\n0\r\n\r\n",
       "5\r\nabcde\r\n0\r\n\r\n",
       {"HTTP/1.1 200 OK", "Transfer-Encoding: chunked, gzip", "X-Transfer-Encoding: chunked"}},
      {"binary plain body",
       "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n\r\n\x89PNG\0\r\n\r\n\0\xFF"s,
       "\x89PNG\0\r\n\r\n\0\xFF"s,
       {"HTTP/1.1 200 OK", "Content-Type: image/png"}},
      {"no body", "HTTP/1.1 204 No Content\r\nServer: test\r\n\r\n", "", {"HTTP/1.1 204 No Content", "Server: test"}},
      {"header block still arriving", "HTTP/1.1 200 OK\r\nContent-Le", "", {}},
      {"nothing received", "", "", {}},
  };
  return all;
}

}  // namespace tcp::fixtures
