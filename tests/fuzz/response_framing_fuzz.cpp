// The framing tracker on arbitrary responses, fed in arbitrary pieces: it
// stands where the same bytes fed at once stand, never counts more body than
// arrived, and never disagrees with makechunkeds on where a chunked body
// ends: once it calls a chunked response complete, makechunkeds decodes the
// bytes so far to exactly the body it counted, and no later byte changes that.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/message_parts.h"
#include "http/response_framing.h"

namespace {

constexpr std::string_view kChunkedHeader = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

bool same(const tcp::ResponseFraming& a, const tcp::ResponseFraming& b) {
  return a.stage() == b.stage() && a.problem() == b.problem() && a.status() == b.status() &&
         a.bodyBytes() == b.bodyBytes() && a.headerStart() == b.headerStart() && a.headerLength() == b.headerLength() &&
         a.declaredLength() == b.declaredLength();
}

std::string payload(std::string_view response) {
  std::string decoded;
  const std::string_view body = tcp::PayloadOf(response, decoded);
  return std::string(body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool head = data[0] & 1;
  const bool chunked = data[0] & 2;
  const std::size_t pieces = std::min<std::size_t>(data[1] % 32, size - 2);
  const std::string_view lengths(reinterpret_cast<const char*>(data) + 2, pieces);
  std::string raw = chunked ? std::string(kChunkedHeader) : std::string();
  raw.append(reinterpret_cast<const char*>(data) + 2 + pieces, size - 2 - pieces);

  tcp::ResponseFraming stepped;
  stepped.start(head);
  std::size_t completeAt = std::string::npos;
  for (std::size_t end = 0, i = 0; end < raw.size(); ++i) {
    end = std::min(raw.size(), end + 1 + (i < lengths.size() ? static_cast<unsigned char>(lengths[i]) : 97u));
    stepped.advance(std::string_view(raw).substr(0, end));
    if (stepped.bodyBytes() > end || stepped.headerStart() + stepped.headerLength() > end) std::abort();
    if (completeAt == std::string::npos && stepped.stage() == tcp::ResponseFraming::Stage::Complete) completeAt = end;
  }
  tcp::ResponseFraming atOnce;
  atOnce.start(head);
  atOnce.advance(raw);
  if (!same(stepped, atOnce)) std::abort();

  if (chunked && !head && completeAt != std::string::npos) {
    const std::string upToComplete = payload(std::string_view(raw).substr(0, completeAt));
    if (upToComplete.size() != stepped.bodyBytes() || payload(raw) != upToComplete) std::abort();
  }

  stepped.close();
  if (stepped.stage() == tcp::ResponseFraming::Stage::Header || stepped.stage() == tcp::ResponseFraming::Stage::Body)
    std::abort();
  return 0;
}
