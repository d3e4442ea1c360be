#include "tcpsocket/send_queue.h"

#include <algorithm>

namespace tcp {

void SendQueue::append(std::string_view bytes) {
  if (sent_ > 0 && sent_ >= bytes_.size() / 2) {
    bytes_.erase(0, sent_);
    sent_ = 0;
  }
  bytes_.append(bytes);
}

void SendQueue::consume(std::size_t count) {
  sent_ = std::min(bytes_.size(), sent_ + count);
  if (empty()) clear();
}

void SendQueue::clear() {
  bytes_.clear();
  sent_ = 0;
}

}  // namespace tcp
