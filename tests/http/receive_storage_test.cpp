#include "http/receive_storage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "fake_address_space.h"

namespace tcp {
namespace {

constexpr std::size_t KiB = 1 << 10;
constexpr std::size_t MiB = 1 << 20;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// The byte due at each place: a copy that drops, repeats or shifts a
// block of them shows.
char byteAt(std::size_t at) { return static_cast<char>((at * 131) ^ (at >> 12)); }

bool holdsTheBytesDue(const ReceiveStorage& storage) {
  for (std::size_t at = 0; at < storage.size(); ++at)
    if (storage.data()[at] != byteAt(at)) return false;
  return true;
}

TEST(ReceiveStorage, GrowsAcrossHeapAndRegionsAndKeepsItsBytesWhenMemoryRunsOut) {
  struct Case {
    const char* name;
    std::size_t largestReservation;
    std::size_t memory;
    std::size_t declared;  // reserved before the first arrival; 0 for none
    std::size_t arrival;
    std::size_t total;
    // What must hold at the end: the bytes stored (less than total when
    // memory ran out), the most times they moved, the reservations held,
    // and how far the committed pages may run ahead of the bytes.
    std::size_t stored;
    int mostMoves;
    std::size_t reservations;
    std::size_t mostCommittedAhead;
  };
  const Case cases[] = {
      {"small bytes stay on the heap", kNone, kNone, 0, 1000, 100000, 100000, 11, 0, 0},
      {"past the heap's bound into one region, never moved again", kNone, kNone, 0, 256 * KiB, 24 * MiB, 24 * MiB, 3, 1,
       1 * MiB},
      {"a region outgrown is copied into a larger one", 8 * MiB, kNone, 0, 256 * KiB, 7 * MiB, 7 * MiB, 4, 1, 1 * MiB},
      {"with no reservation the heap grows by doubling", 0, kNone, 0, 256 * KiB, 8 * MiB, 8 * MiB, 5, 0, 0},
      {"a reservation refused midway falls back to the heap", 2 * MiB, kNone, 0, 256 * KiB, 8 * MiB, 8 * MiB, 6, 0, 0},
      {"a declared length is reserved once and committed as it fills", kNone, kNone, 20 * MiB, 512 * KiB, 20 * MiB,
       20 * MiB, 0, 1, 1 * MiB},
      {"memory out in a region: the step ahead, then need alone, then bad_alloc", kNone, 3 * MiB, 0, 256 * KiB,
       8 * MiB, 3 * MiB, 3, 1, 0},
      {"memory out as the first region is taken", kNone, 1 * MiB, 0, 256 * KiB, 8 * MiB, 1 * MiB, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fakes::FakeAddressSpace space;
    space.largestReservation = c.largestReservation;
    space.memory = c.memory;
    {
      ReceiveStorage storage;
      storage.useAddressSpace(&space);
      if (c.declared) storage.reserve(c.declared);
      const char* block = storage.size() ? storage.data() : nullptr;
      int moves = 0;
      bool outOfMemory = false;
      while (storage.size() < c.total && !outOfMemory) {
        const std::size_t at = storage.size();
        try {
          char* room = storage.extend(c.arrival);
          for (std::size_t i = 0; i < c.arrival; ++i) room[i] = byteAt(at + i);
        } catch (const std::bad_alloc&) {
          outOfMemory = true;
          EXPECT_EQ(storage.size(), at) << "a failed growth adds nothing";
        }
        if (block && storage.data() != block) ++moves;
        block = storage.data();
      }
      EXPECT_EQ(outOfMemory, c.stored < c.total);
      EXPECT_EQ(storage.size(), c.stored);
      EXPECT_TRUE(holdsTheBytesDue(storage));
      EXPECT_LE(moves, c.mostMoves);
      EXPECT_EQ(space.reservations(), c.reservations);
      if (space.reservations()) EXPECT_LE(space.committed, c.stored + c.mostCommittedAhead);
      if (c.declared) EXPECT_GE(storage.capacity(), c.declared);
    }
    EXPECT_EQ(space.reservations(), 0u) << "the storage gives its region back when it goes";
    EXPECT_EQ(space.misuses, 0);
  }
}

TEST(ReceiveStorage, GivesItsRegionBackWhenReleasedReplacedOrMovedOver) {
  fakes::FakeAddressSpace space;
  const std::string large(3 * MiB, 'L');
  ReceiveStorage storage;
  storage.useAddressSpace(&space);
  storage = large;
  ASSERT_EQ(space.reservations(), 1u);
  storage.release();
  EXPECT_EQ(space.reservations(), 0u);
  EXPECT_EQ(storage.view(), "");

  storage = large;
  storage = std::string_view(storage).substr(MiB, 5);
  EXPECT_EQ(storage.view(), "LLLLL") << "bytes of its own are kept while it shrinks";
  ReceiveStorage other;
  other.useAddressSpace(&space);
  other = large + "+";
  ASSERT_EQ(space.reservations(), 2u);
  storage = std::move(other);
  EXPECT_EQ(space.reservations(), 1u);
  EXPECT_EQ(storage.size(), large.size() + 1);
  storage = "small";
  EXPECT_EQ(space.reservations(), 1u) << "small bytes fit where they are";
  EXPECT_EQ(space.misuses, 0);
}

}  // namespace
}  // namespace tcp
