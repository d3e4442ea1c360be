#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tcpsocket/transport_layer.h"

namespace tcp {

// The layers of one connection above its socket, the lowest first: the
// proxy's tunnel when one is set, then TLS when it is on; none for a plain
// connection. The socket's bytes go in at the bottom and the host's at the
// top; what each call produced comes out as one LayerOutput, toSend for the
// socket and delivered for the host. A layer starts once the one below it
// has opened, with what came after that one's opening; the stack is open
// once its top layer is.
class TransportStack {
 public:
  void push(std::unique_ptr<TransportLayer> layer) { layers_.push_back(std::move(layer)); }
  void clear() {
    layers_.clear();
    started_ = 0;
    opened_ = 0;
  }
  bool empty() const { return layers_.empty(); }

  // The socket connected.
  void start(LayerOutput& out);
  void receive(std::string_view bytes, LayerOutput& out);
  void send(std::string_view bytes, LayerOutput& out);
  void endOfStream(LayerOutput& out);
  void close(LayerOutput& out);
  void fetched(const std::string& address, std::string bytes, LayerOutput& out);

  // The kind of the layer whose opening is under way; none before the socket
  // connected and once the stack is open.
  std::optional<TransportLayer::Kind> opening() const;
  // The first failure of a layer, lowest first; 0 while none failed.
  std::int32_t failure() const;
  // Whether a layer saw the peer's end of its stream after opening.
  bool ended() const;

 private:
  // Carries what layer `at` produced: its bytes for the socket down through
  // the layers below it, its bytes for the host up into the layer above
  // (started first, when this call opened layer `at`).
  void carry(std::size_t at, LayerOutput& step, LayerOutput& out);
  void sendDown(std::size_t at, std::string&& bytes, LayerOutput& out);
  void startLayer(std::size_t at, LayerOutput& out);
  // An open layer that passes bytes through leaves once the call that
  // opened it is done.
  void dropTransparent();

  std::vector<std::unique_ptr<TransportLayer>> layers_;
  std::size_t started_ = 0;  // layers started, from the bottom
  std::size_t opened_ = 0;   // layers open, from the bottom
};

}  // namespace tcp
