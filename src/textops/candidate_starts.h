#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "textops/marker_search.h"

namespace tcp {

// The starts where a marker (at least one byte) may begin: its first,
// second and last bytes are there. strip looks at sixteen starts a step,
// with SSE2 where the build has it (every 64-bit build), else two words.
class CandidateStarts {
 public:
  explicit CandidateStarts(std::string_view marker)
      : size_(marker.size()),
        second_(marker.size() > 2 ? 1 : 0),
        first_(marker.front()),
        secondByte_(marker[second_]),
        last_(marker.back()),
        firsts_(repeated(first_)),
        seconds_(repeated(secondByte_)),
        lasts_(repeated(last_)) {}

  std::size_t markerSize() const { return size_; }
  // Whether the start at `at` may hold the marker; reads its first and last bytes.
  bool at(const char* start) const { return start[0] == first_ && start[size_ - 1] == last_; }

  // The first of the sixteen starts from `at` on that may hold the marker,
  // or 16; reads the 15 + markerSize() bytes from `at`.
  std::size_t firstOfSixteen(const char* start) const {
#if defined(__SSE2__)
    return firstOfSixteenBySse2(start);
#else
    return firstOfSixteenByWords(start);
#endif
  }

  std::size_t firstOfSixteenByWords(const char* start) const {
    static_assert(std::endian::native == std::endian::little);
    if (const std::uint64_t low = flagged(start)) return static_cast<std::size_t>(std::countr_zero(low)) / 8;
    if (const std::uint64_t high = flagged(start + 8)) return 8 + static_cast<std::size_t>(std::countr_zero(high)) / 8;
    return 16;
  }

#if defined(__SSE2__)
  std::size_t firstOfSixteenBySse2(const char* start) const {
    const __m128i same = _mm_and_si128(_mm_and_si128(equal(start, first_), equal(start + second_, secondByte_)),
                                       equal(start + size_ - 1, last_));
    const auto found = static_cast<unsigned>(_mm_movemask_epi8(same));
    return found == 0 ? 16 : static_cast<std::size_t>(std::countr_zero(found));
  }
#endif

 private:
  // The high bit of each byte of the word at start is set where a start may
  // hold the marker; exact for the lowest, the others may be set wrongly.
  std::uint64_t flagged(const char* start) const {
    const std::uint64_t differ =
        (WordAt(start) ^ firsts_) | (WordAt(start + second_) ^ seconds_) | (WordAt(start + size_ - 1) ^ lasts_);
    return (differ - kEveryByte) & ~differ & (kEveryByte << 7);
  }
  static std::uint64_t repeated(char byte) { return kEveryByte * static_cast<unsigned char>(byte); }
#if defined(__SSE2__)
  static __m128i equal(const char* start, char byte) {
    return _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(start)), _mm_set1_epi8(byte));
  }
#endif

  std::size_t size_, second_;
  char first_, secondByte_, last_;
  std::uint64_t firsts_, seconds_, lasts_;
};

}  // namespace tcp
