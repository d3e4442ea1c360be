#pragma once

#include <cstddef>

namespace tcp {

// Address space taken without memory behind it, and memory given to it page
// by page: storage that grows inside a reservation never moves.
class AddressSpace {
 public:
  virtual ~AddressSpace() = default;

  // The unit that reservations and commits are made in; a power of two.
  virtual std::size_t granularity() const = 0;
  // Reserves size bytes (a multiple of granularity) with no memory behind
  // them; null when the address space has no such free range.
  virtual char* reserve(std::size_t size) = 0;
  // Gives memory to the size bytes at `at`, inside one reservation and on
  // granularity bounds; false when the system has no memory for them.
  virtual bool commit(char* at, std::size_t size) = 0;
  // Gives back the whole reservation that reserve(size) returned as base,
  // with the memory committed in it.
  virtual void release(char* base, std::size_t size) = 0;
};

}  // namespace tcp
