#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "platform/address_space.h"

namespace tcp::fakes {

// Reservations made with mmap and no access, committed with mprotect, so a
// write past the committed pages faults. A reservation larger than
// largestReservation fails, as does a commit that would take the pages
// committed in all past memory.
class FakeAddressSpace : public AddressSpace {
 public:
  static constexpr std::size_t kGranularity = 64 << 10;
  ~FakeAddressSpace() override;

  std::size_t granularity() const override { return kGranularity; }
  char* reserve(std::size_t size) override;
  bool commit(char* at, std::size_t size) override;
  void release(char* base, std::size_t size) override;

  std::size_t largestReservation = SIZE_MAX;
  std::size_t memory = SIZE_MAX;
  // Bytes committed in the live reservations.
  std::size_t committed = 0;
  std::size_t reservations() const { return regions_.size(); }
  // Calls off a granularity bound, outside a reservation, or releasing
  // with another size than was reserved.
  int misuses = 0;

 private:
  struct Region {
    std::size_t size = 0;
    std::size_t committed = 0;
  };
  std::map<char*, Region> regions_;
};

}  // namespace tcp::fakes
