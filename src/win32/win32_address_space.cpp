#include <windows.h>

#include "platform/address_space.h"

namespace tcp::win32 {
namespace {

class Win32AddressSpace : public AddressSpace {
 public:
  // The system's allocation granularity on every Windows release.
  std::size_t granularity() const override { return 64 << 10; }
  char* reserve(std::size_t size) override {
    return static_cast<char*>(VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS));
  }
  bool commit(char* at, std::size_t size) override {
    return VirtualAlloc(at, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
  }
  void release(char* base, std::size_t) override { VirtualFree(base, 0, MEM_RELEASE); }
};

}  // namespace

// Never destroyed: the session gives its last region back during static
// destruction, after a local static made later would be gone.
AddressSpace& addressSpace() {
  static Win32AddressSpace* const instance = new Win32AddressSpace;
  return *instance;
}

}  // namespace tcp::win32
