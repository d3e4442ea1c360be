#include "http/receive_storage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tcp {
namespace {

constexpr bool kWide = sizeof(void*) >= 8;
// The first reservation holds a large response whole: on a 64-bit host
// address space costs nothing, on a 32-bit one it is about 2 GiB in all, so
// regions start small there and never plan past 1 GiB.
constexpr std::size_t kFirstRegion = kWide ? std::size_t{1} << 30 : std::size_t{64} << 20;
constexpr std::size_t kLargestPlannedRegion = kWide ? static_cast<std::size_t>(1ULL << 40) : std::size_t{1} << 30;
// Pages are committed at least this much ahead, so that small arrivals do
// not each ask the system.
constexpr std::size_t kCommitStep = std::size_t{1} << 20;
constexpr std::size_t kSmallestHeapBlock = 64;
// The smallest page of the processors Windows runs on.
constexpr std::size_t kPageSize = std::size_t{4} << 10;
// No response comes near this; it keeps the sizes below from wrapping.
constexpr std::size_t kMostBytes = static_cast<std::size_t>(-1) / 4;

std::size_t roundUp(std::size_t bytes, std::size_t unit) { return (bytes + unit - 1) & ~(unit - 1); }

// Newly committed pages get their memory at the first write. Writing each
// one now makes that happen here rather than inside the read that fills
// them: a read that faults page by page holds the socket's receive path, and
// the sender waits for it (a third of the speed in an emulated machine).
void touchPages(char* from, char* to) {
  for (volatile char* page = from; page < to; page += kPageSize) *page = 0;
}

}  // namespace

ReceiveStorage::~ReceiveStorage() { releaseBlock(); }

ReceiveStorage::ReceiveStorage(ReceiveStorage&& other) noexcept { *this = std::move(other); }

ReceiveStorage& ReceiveStorage::operator=(ReceiveStorage&& other) noexcept {
  if (this == &other) return *this;
  releaseBlock();
  space_ = std::exchange(other.space_, nullptr);
  owner_ = std::exchange(other.owner_, nullptr);
  data_ = std::exchange(other.data_, nullptr);
  size_ = std::exchange(other.size_, 0);
  usable_ = std::exchange(other.usable_, 0);
  reserved_ = std::exchange(other.reserved_, 0);
  return *this;
}

// Bytes that may lie in this storage are copied before it is given back.
ReceiveStorage& ReceiveStorage::operator=(std::string_view bytes) {
  if (bytes.size() > usable_) {
    ReceiveStorage fresh;
    fresh.useAddressSpace(space_);
    std::memcpy(fresh.extend(bytes.size()), bytes.data(), bytes.size());
    return *this = std::move(fresh);
  }
  if (!bytes.empty()) std::memmove(data_, bytes.data(), bytes.size());
  size_ = bytes.size();
  return *this;
}

char* ReceiveStorage::extend(std::size_t count) {
  if (count > kMostBytes - size_) throw std::bad_alloc();
  growTo(std::max<std::size_t>(size_ + count, 1));
  char* room = data_ + size_;
  size_ += count;
  return room;
}

void ReceiveStorage::truncate(std::size_t size) { size_ = std::min(size, size_); }

void ReceiveStorage::reserve(std::size_t size) {
  if (size > kMostBytes) throw std::bad_alloc();
  if (size <= capacity()) return;
  if (space_ && size > kLargestHeapBlock && moveToRegion(size, size_)) return;
  moveToHeap(size);
}

void ReceiveStorage::release() noexcept {
  releaseBlock();
  owner_ = nullptr;
  data_ = nullptr;
  size_ = usable_ = reserved_ = 0;
}

void ReceiveStorage::growTo(std::size_t need) {
  if (need <= usable_) return;
  if (owner_ && need <= reserved_) return commitTo(need);
  if (space_ && need > kLargestHeapBlock && moveToRegion(need, need)) return;
  moveToHeap(std::max({need, 2 * usable_, kSmallestHeapBlock}));
}

// With memory nearly gone the step ahead may fail where need alone fits.
void ReceiveStorage::commitTo(std::size_t need) {
  const std::size_t unit = owner_->granularity();
  for (const std::size_t target : {std::min(reserved_, roundUp(usable_ + kCommitStep, unit)), roundUp(need, unit)}) {
    if (target < need) continue;
    if (owner_->commit(data_ + usable_, target - usable_)) {
      touchPages(data_ + usable_, data_ + target);
      usable_ = target;
      return;
    }
  }
  throw std::bad_alloc();
}

// Tries the planned region, then one just half again as large as need, then
// one of need alone; the half again keeps repeated outgrowing linear.
// Reserving takes only address space: running out of it falls back to the
// heap, running out of memory for the committed pages is bad_alloc.
bool ReceiveStorage::moveToRegion(std::size_t need, std::size_t commitNow) {
  const std::size_t unit = space_->granularity();
  const std::size_t exact = roundUp(need, unit);
  const std::size_t ample = roundUp(need + need / 2, unit);
  const std::size_t planned = std::min(kLargestPlannedRegion, owner_ ? 4 * reserved_ : kFirstRegion);
  std::size_t tried = static_cast<std::size_t>(-1);
  for (const std::size_t size : {std::max(planned, ample), ample, exact}) {
    if (size >= tried) continue;
    tried = size;
    char* base = space_->reserve(size);
    if (!base) continue;
    const std::size_t committed = roundUp(commitNow, unit);
    if (committed != 0 && !space_->commit(base, committed)) {
      space_->release(base, size);
      throw std::bad_alloc();
    }
    if (size_ != 0) std::memcpy(base, data_, size_);
    touchPages(base + size_, base + committed);
    releaseBlock();
    owner_ = space_;
    data_ = base;
    usable_ = committed;
    reserved_ = size;
    return true;
  }
  return false;
}

void ReceiveStorage::moveToHeap(std::size_t capacity) {
  char* block = new char[capacity];
  if (size_ != 0) std::memcpy(block, data_, size_);
  releaseBlock();
  owner_ = nullptr;
  data_ = block;
  usable_ = capacity;
  reserved_ = 0;
}

void ReceiveStorage::releaseBlock() noexcept {
  if (owner_)
    owner_->release(data_, reserved_);
  else
    delete[] data_;
}

}  // namespace tcp
