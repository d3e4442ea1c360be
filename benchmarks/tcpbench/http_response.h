#pragma once

#include <cstddef>
#include <string>

namespace tcpbench {

// The request both receivers send.
std::string benchRequest();

// A POST request with a body of `bodySize` bytes, none of them zero (a host
// hands it to SetFile), and the server's answer once it has all of it.
std::string benchUpload(std::size_t bodySize);
std::string benchUploadReply();

// A complete HTTP/1.1 response with a body of `bodySize` bytes, none of them
// zero (so a host can compare what it reads up to the first zero byte).
// Chunked: the body goes in 16 KiB chunks of the chunked coding; otherwise
// it follows a Content-Length header.
std::string benchResponse(std::size_t bodySize, bool chunked);

}  // namespace tcpbench
