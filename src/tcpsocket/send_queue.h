#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tcp {

// Bytes waiting to be sent, in order. Taking bytes from the front moves an
// offset instead of copying the rest, so draining is linear.
class SendQueue {
 public:
  bool empty() const { return sent_ == bytes_.size(); }
  std::string_view pending() const { return std::string_view(bytes_).substr(sent_); }
  void append(std::string_view bytes);
  void consume(std::size_t count);
  void clear();

 private:
  std::string bytes_;
  std::size_t sent_ = 0;
};

}  // namespace tcp
