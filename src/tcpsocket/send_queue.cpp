#include "tcpsocket/send_queue.h"

#include <algorithm>

namespace tcp {

std::string_view SendQueue::pending() const {
  if (pieces_.empty()) return {};
  const Piece& front = pieces_.front();
  return front.bytes().substr(front.sent);
}

// Copies join the last piece when it is a copy too; its sent front goes once
// it is half the piece, so each byte moves at most once more.
void SendQueue::append(std::string_view bytes) {
  if (bytes.empty()) return;
  if (!pieces_.empty() && !pieces_.back().shared) {
    Piece& last = pieces_.back();
    if (last.sent > 0 && last.sent >= last.own.size() / 2) {
      last.own.erase(0, last.sent);
      last.sent = 0;
    }
    last.own.append(bytes);
    return;
  }
  Piece piece;
  piece.own.assign(bytes);
  pieces_.push_back(std::move(piece));
}

void SendQueue::append(Storage storage, std::string_view bytes) {
  if (bytes.empty()) return;
  Piece piece;
  piece.shared = std::move(storage);
  piece.view = bytes;
  pieces_.push_back(std::move(piece));
}

void SendQueue::consume(std::size_t count) {
  while (count > 0 && !pieces_.empty()) {
    Piece& front = pieces_.front();
    const std::size_t taken = std::min(count, front.bytes().size() - front.sent);
    front.sent += taken;
    count -= taken;
    if (front.sent == front.bytes().size()) pieces_.pop_front();
  }
}

}  // namespace tcp
