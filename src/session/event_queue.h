#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace tcp {

struct QueuedEvent {
  std::int32_t code = 0;
  std::string text;
};

// The events a host in queued mode has not read yet, oldest first. Each one
// has its click; a progress event that finds an unread progress event at the
// tail replaces it and needs no click of its own, so a host that reads slowly
// sees the latest progress once rather than every step of it.
class EventQueue {
 public:
  // A host that never reads cannot make the queue grow without end: past this
  // many unread events the oldest is dropped (its click then finds the next).
  static constexpr std::size_t kMostEvents = 1000;

  // Adds an event; returns whether the host is to be clicked for it.
  bool push(std::int32_t code, std::string text, bool coalesces);
  // The oldest event, which leaves the queue; nothing when it is empty.
  std::optional<QueuedEvent> pop();
  void clear() { events_.clear(); }
  std::size_t size() const { return events_.size(); }

 private:
  std::deque<QueuedEvent> events_;
  // The event at the tail is a progress event that may be replaced.
  bool tailCoalesces_ = false;
};

}  // namespace tcp
