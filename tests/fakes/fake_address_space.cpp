#include "fake_address_space.h"

#include <sys/mman.h>

#include <iterator>

namespace tcp::fakes {

FakeAddressSpace::~FakeAddressSpace() {
  for (const auto& [base, region] : regions_) munmap(base, region.size);
}

char* FakeAddressSpace::reserve(std::size_t size) {
  if (size == 0 || size % kGranularity != 0) ++misuses;
  if (size > largestReservation) return nullptr;
  void* mapped = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  char* base = static_cast<char*>(mapped);
  regions_[base] = Region{size, 0};
  return base;
}

// The storage commits a region's pages in order from its start, so what a
// region has committed is a prefix of it; a commit that leaves a gap is a misuse.
bool FakeAddressSpace::commit(char* at, std::size_t size) {
  auto region = regions_.upper_bound(at);
  if (region == regions_.begin()) return ++misuses, false;
  region = std::prev(region);
  const std::size_t offset = static_cast<std::size_t>(at - region->first);
  if (size == 0 || size % kGranularity != 0 || offset % kGranularity != 0 || offset + size > region->second.size ||
      offset > region->second.committed)
    return ++misuses, false;
  const std::size_t end = offset + size;
  const std::size_t added = end > region->second.committed ? end - region->second.committed : 0;
  if (added > memory - committed) return false;
  if (mprotect(at, size, PROT_READ | PROT_WRITE) != 0) return false;
  region->second.committed += added;
  committed += added;
  return true;
}

void FakeAddressSpace::release(char* base, std::size_t size) {
  const auto region = regions_.find(base);
  if (region == regions_.end() || region->second.size != size) return static_cast<void>(++misuses);
  committed -= region->second.committed;
  munmap(base, size);
  regions_.erase(region);
}

}  // namespace tcp::fakes
