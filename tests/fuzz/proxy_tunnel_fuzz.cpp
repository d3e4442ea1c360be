// A proxy's answer to CONNECT as a hostile proxy may send it, in arbitrary
// pieces: the tunnel stands where the same bytes fed at once leave it, holds
// no more than its bound, and once open hands up exactly the bytes after the
// header block, never a byte of the proxy's own answer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tcpsocket/proxy_tunnel.h"

namespace {

struct Outcome {
  tcp::ProxyTunnel::State state;
  std::int32_t failure;
  std::string beyond;
};

Outcome feed(std::string_view answer, std::string_view lengths) {
  tcp::ProxyTunnel tunnel("target:443", "user:pw");
  tcp::LayerOutput out;
  std::size_t at = 0;
  for (std::size_t i = 0; at < answer.size(); ++i) {
    const std::size_t piece = 1 + (i < lengths.size() ? static_cast<unsigned char>(lengths[i]) * 64u : 4096u);
    tunnel.receive(answer.substr(at, piece), out);
    at += std::min(piece, answer.size() - at);
  }
  return {tunnel.state(), tunnel.failure(), out.delivered};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t split = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view lengths(reinterpret_cast<const char*>(data) + 1, split);
  const std::string_view answer(reinterpret_cast<const char*>(data) + 1 + split, size - 1 - split);

  const Outcome pieces = feed(answer, lengths);
  const Outcome whole = feed(answer, {});
  if (pieces.state != whole.state || pieces.failure != whole.failure || pieces.beyond != whole.beyond) std::abort();
  if (pieces.state == tcp::ProxyTunnel::State::Open) {
    const std::size_t end = answer.find("\r\n\r\n");
    if (end == std::string_view::npos || end > tcp::ProxyTunnel::kMostHeaderBytes) std::abort();
    if (pieces.beyond != answer.substr(end + 4)) std::abort();
  } else if (!pieces.beyond.empty()) {
    std::abort();
  }
  return 0;
}
