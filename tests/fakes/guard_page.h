#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace tcp::fakes {

// Room for bytes that end right before a page that may not be touched, as
// picohttpparser's tests place their input: a parser that reads even one
// byte past the end of what it was given faults at once.
class GuardPage {
 public:
  explicit GuardPage(std::size_t capacity) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    room_ = (capacity + page - 1) / page * page;
    void* mapped = mmap(nullptr, room_ + page, PROT_READ | PROT_WRITE, MAP_ANONYMOUS | MAP_PRIVATE, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("mmap");
    base_ = static_cast<char*>(mapped);
    if (mprotect(base_ + room_, page, PROT_NONE) != 0) throw std::runtime_error("mprotect");
    total_ = room_ + page;
  }
  ~GuardPage() { munmap(base_, total_); }
  GuardPage(const GuardPage&) = delete;
  GuardPage& operator=(const GuardPage&) = delete;

  // A copy of bytes whose last byte is the last readable one; what an
  // earlier place() gave is overwritten.
  std::string_view place(std::string_view bytes) {
    if (bytes.size() > room_) throw std::length_error("guard page room");
    char* start = base_ + room_ - bytes.size();
    if (!bytes.empty()) std::memmove(start, bytes.data(), bytes.size());
    return {start, bytes.size()};
  }

 private:
  char* base_ = nullptr;
  std::size_t room_ = 0;
  std::size_t total_ = 0;
};

}  // namespace tcp::fakes
