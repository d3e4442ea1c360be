#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace tcptest {

// Address space held back so that only about `headroom` bytes of it stay
// free under the limit the program runs with (a limit around Wine). What a
// process takes at start varies from run to run; the room a command finds is
// set here, just before it runs. Without a limit in reach the ballast holds
// nothing. A 32-bit process holds none either: the blocks given back there
// need not lie side by side, and a large block needs them so; its room is
// the user space's own.
class AddressBallast {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 20;
  static constexpr std::size_t kMostBlocks = 6 << 10;

  explicit AddressBallast(std::size_t headroom) {
    if (sizeof(void*) < 8) return;
    blocks_.reserve(kMostBlocks);
    while (blocks_.size() < kMostBlocks) {
      void* block = VirtualAlloc(nullptr, kBlock, MEM_RESERVE, PAGE_NOACCESS);
      if (!block) break;
      blocks_.push_back(block);
    }
    if (blocks_.size() == kMostBlocks) headroom = kMostBlocks * kBlock;
    limited_ = blocks_.size() < kMostBlocks;
    while (!blocks_.empty() && free_ < headroom) {
      VirtualFree(blocks_.back(), 0, MEM_RELEASE);
      blocks_.pop_back();
      free_ += kBlock;
    }
  }
  ~AddressBallast() {
    for (void* block : blocks_) VirtualFree(block, 0, MEM_RELEASE);
  }
  AddressBallast(const AddressBallast&) = delete;
  AddressBallast& operator=(const AddressBallast&) = delete;

  // The room left, as the tests print it.
  std::string room() const {
    return limited_ ? std::to_string(free_ >> 20) + " MiB left free" : "no room held back";
  }

 private:
  std::vector<void*> blocks_;
  std::size_t free_ = 0;
  bool limited_ = false;
};

}  // namespace tcptest
