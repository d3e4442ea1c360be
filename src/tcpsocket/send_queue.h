#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

namespace tcp {

// Bytes waiting to be sent, in order, as pieces. A piece is either a view
// into a text whose storage the queue shares with its owner, so that a large
// text waits without a copy of its own, or a copy the queue holds. Taking
// bytes from the front moves an offset instead of copying the rest, so
// draining is linear.
class SendQueue {
 public:
  using Storage = std::shared_ptr<const std::string>;

  bool empty() const { return pieces_.empty(); }
  // The unsent bytes of the first piece.
  std::string_view pending() const;
  // Queues a copy of bytes.
  void append(std::string_view bytes);
  // Queues bytes, a part of *storage, which the queue keeps alive until sent.
  void append(Storage storage, std::string_view bytes);
  void consume(std::size_t count);
  void clear() { pieces_.clear(); }

 private:
  struct Piece {
    Storage shared;   // null: the bytes are in own
    std::string own;
    std::string_view view;  // into *shared
    std::size_t sent = 0;
    std::string_view bytes() const { return shared ? view : std::string_view(own); }
  };
  std::deque<Piece> pieces_;
};

}  // namespace tcp
