#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tcp {

// The eight bytes at `at` as one word, in the machine's order; every byte
// of kEveryByte is 1, so that kEveryByte * b repeats b in each.
inline std::uint64_t WordAt(const char* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}
inline constexpr std::uint64_t kEveryByte = 0x0101010101010101;

// Two loads of the same width that cover size bytes, from each end, compared
// at once.
template <typename Word>
bool SameEnds(const char* a, const char* b, std::size_t size) {
  Word a1, a2, b1, b2;
  std::memcpy(&a1, a, sizeof a1);
  std::memcpy(&b1, b, sizeof b1);
  std::memcpy(&a2, a + size - sizeof a2, sizeof a2);
  std::memcpy(&b2, b + size - sizeof b2, sizeof b2);
  return ((a1 ^ b1) | (a2 ^ b2)) == 0;
}

// Whether the size bytes at a and b are the same; short runs, the most common
// between markers, without a call into the library or a loop.
inline bool SameBytes(const char* a, const char* b, std::size_t size) {
  if (size > 16) return std::memcmp(a, b, size) == 0;
  if (size >= 8) return SameEnds<std::uint64_t>(a, b, size);
  if (size >= 4) return SameEnds<std::uint32_t>(a, b, size);
  if (size >= 2) return SameEnds<std::uint16_t>(a, b, size);
  return size == 0 || *a == *b;
}

// Finds one marker (at least one byte) in texts, again and again if need be.
// It skips through the text eight candidate starts at a time, keeping those
// whose first and last bytes match, and compares the marker there. Texts built
// to defeat that skip (each candidate costing the whole marker, as "aaa…"
// against "aaa…ab") would make it quadratic; once the compares outrun a
// multiple of the bytes passed, this search and all later ones go over to
// Knuth-Morris-Pratt, linear whatever the text and the marker.
class MarkerSearch {
 public:
  explicit MarkerSearch(std::string_view marker) : marker_(marker) {}

  // Index of the first occurrence lying wholly in text at or after from, or npos.
  std::size_t next(std::string_view text, std::size_t from);

  // Whether the searches have gone over to Knuth-Morris-Pratt.
  bool linear() const { return linear_; }

  // For each prefix of the marker, the length of its longest proper prefix
  // that is also its suffix: the fallback table of Knuth-Morris-Pratt.
  const std::vector<std::size_t>& borders();

 private:
  std::size_t nextCandidate(std::string_view text, std::size_t from) const;
  std::size_t searchLinear(std::string_view text, std::size_t from);

  std::string_view marker_;
  std::vector<std::size_t> borders_;
  std::size_t passed_ = 0;
  std::size_t compared_ = 0;
  bool linear_ = false;
};

}  // namespace tcp
