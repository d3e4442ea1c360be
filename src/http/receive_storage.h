#pragma once

#include <cstddef>
#include <string_view>

#include "platform/address_space.h"

namespace tcp {

// Bytes that grow at the end, as a response arrives, without being copied
// as they grow. Small ones live on the heap; past kLargestHeapBlock they move
// into a reservation of address space whose pages are committed as the bytes
// fill them, so only outgrowing a whole reservation copies, and reservations
// grow fourfold. Without an address space, or when none can be reserved, the
// bytes grow on the heap, doubling. Growth that finds no memory throws
// std::bad_alloc and leaves the bytes as they were.
class ReceiveStorage {
 public:
  static constexpr std::size_t kLargestHeapBlock = std::size_t{1} << 20;

  ReceiveStorage() = default;
  ~ReceiveStorage();
  ReceiveStorage(ReceiveStorage&& other) noexcept;
  ReceiveStorage& operator=(ReceiveStorage&& other) noexcept;
  ReceiveStorage(const ReceiveStorage&) = delete;
  ReceiveStorage& operator=(const ReceiveStorage&) = delete;
  // Replaces the bytes with a copy of these.
  ReceiveStorage& operator=(std::string_view bytes);

  // Where later reservations come from; null for none. What is held stays.
  void useAddressSpace(AddressSpace* space) { space_ = space; }

  const char* data() const { return data_ ? data_ : ""; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  // How many bytes fit without moving them.
  std::size_t capacity() const { return owner_ ? reserved_ : usable_; }
  std::string_view view() const { return {data(), size_}; }
  operator std::string_view() const { return view(); }

  // count more bytes at the end, undefined until written; gives where they start.
  char* extend(std::size_t count);
  // Drops the bytes from size on; a size beyond size() changes nothing.
  void truncate(std::size_t size);
  // Room for size bytes in all without moving them, made now; in a
  // reservation only the pages of the bytes held are committed.
  void reserve(std::size_t size);
  void clear() { size_ = 0; }
  // Empties it and gives its storage back.
  void release() noexcept;

 private:
  void growTo(std::size_t need);
  void commitTo(std::size_t need);
  bool moveToRegion(std::size_t need, std::size_t commitNow);
  void moveToHeap(std::size_t capacity);
  void releaseBlock() noexcept;

  AddressSpace* space_ = nullptr;
  // The space that reserved the block held; null for a heap block.
  AddressSpace* owner_ = nullptr;
  char* data_ = nullptr;
  std::size_t size_ = 0;
  // Bytes that may be written: the heap block's size, or the region's
  // committed pages.
  std::size_t usable_ = 0;
  // The region's reserved size.
  std::size_t reserved_ = 0;
};

}  // namespace tcp
