#include "session/event_queue.h"

#include <utility>

namespace tcp {

bool EventQueue::push(std::int32_t code, std::string text, bool coalesces) {
  if (coalesces && tailCoalesces_ && !events_.empty() && events_.back().code == code) {
    events_.back().text = std::move(text);
    return false;
  }
  if (events_.size() == kMostEvents) events_.pop_front();
  events_.push_back({code, std::move(text)});
  tailCoalesces_ = coalesces;
  return true;
}

std::optional<QueuedEvent> EventQueue::pop() {
  if (events_.empty()) return std::nullopt;
  QueuedEvent oldest = std::move(events_.front());
  events_.pop_front();
  if (events_.empty()) tailCoalesces_ = false;
  return oldest;
}

}  // namespace tcp
