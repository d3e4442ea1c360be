#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tcp {

// What one call of a layer produced, appended to what the caller holds.
struct LayerOutput {
  std::string toSend;     // bytes for the layer below (the socket's, at the bottom), in order
  std::string delivered;  // bytes for the layer above (the host's, at the top), in order
  bool opened = false;    // the layer's opening succeeded in this call: from now on it carries the bytes of the layer above
  // Addresses the layer wants read before it goes on: the caller fetches
  // each and hands its bytes (none when the fetch failed) to fetched().
  std::vector<std::string> toFetch;
};

// A layer of a connection's transport, between the socket below and the
// host above, without I/O: a proxy's tunnel, TLS. A layer first opens (its
// own exchange with the peer), then carries the bytes of the layer above.
class TransportLayer {
 public:
  enum class Kind { ProxyTunnel, Tls };

  virtual ~TransportLayer() = default;

  // The layer below is open: the layer's opening begins.
  virtual void start(LayerOutput& out) = 0;
  // Bytes from below.
  virtual void receive(std::string_view bytes, LayerOutput& out) = 0;
  // Bytes from above; held while the layer is still opening.
  virtual void send(std::string_view bytes, LayerOutput& out) = 0;
  // The peer ended the stream.
  virtual void endOfStream(LayerOutput& out) = 0;
  // The connection closes from this side.
  virtual void close(LayerOutput& out) = 0;
  // What was fetched at an address the layer asked for; others are ignored.
  virtual void fetched(const std::string& address, std::string bytes, LayerOutput& out) = 0;

  virtual Kind kind() const = 0;
  // Why the layer failed (a Windows Sockets, TLS or proxy code); 0 while it has not.
  virtual std::int32_t failure() const = 0;
  // The peer's end of its stream came after the opening, as the layer's own
  // message (TLS's close_notify) or as the end of the stream.
  virtual bool ended() const = 0;
  // Whether, once open, the layer passes bytes through unchanged: it then
  // leaves the stack.
  virtual bool transparentWhenOpen() const = 0;
};

}  // namespace tcp
