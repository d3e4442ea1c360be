#include "textops/marker_search.h"

#include <cstdint>
#include <cstring>

namespace tcp {
namespace {

// The skip may compare this many marker bytes per text byte passed, beyond a
// start-up allowance, before the search goes linear. Markers up to this
// length never reach the limit.
constexpr std::size_t kComparesPerByte = 8;
constexpr std::size_t kStartAllowance = 4096;

constexpr std::uint64_t kLowBits = 0x7F7F7F7F7F7F7F7F;

// Whether any byte of value is zero, exactly (no borrow between bytes).
bool anyZeroByte(std::uint64_t value) { return (~(((value & kLowBits) + kLowBits) | value) & ~kLowBits) != 0; }

}  // namespace

const std::vector<std::size_t>& MarkerSearch::borders() {
  if (borders_.empty()) {
    borders_.assign(marker_.size(), 0);
    for (std::size_t i = 1, k = 0; i < marker_.size(); ++i) {
      while (k > 0 && marker_[i] != marker_[k]) k = borders_[k - 1];
      if (marker_[i] == marker_[k]) ++k;
      borders_[i] = k;
    }
  }
  return borders_;
}

// The first start at or after from whose first and last bytes are the
// marker's, or npos. A word of eight starts and the word of their eight last
// bytes are compared at once; a block that holds a candidate is looked at a
// byte at a time.
std::size_t MarkerSearch::nextCandidate(std::string_view text, std::size_t from) const {
  const char* const bytes = text.data();
  const std::size_t size = marker_.size(), lastStart = text.size() - size;
  const char first = marker_.front(), last = marker_.back();
  const std::uint64_t firsts = kEveryByte * static_cast<unsigned char>(first);
  const std::uint64_t lasts = kEveryByte * static_cast<unsigned char>(last);
  std::size_t at = from;
  while (at + 8 <= lastStart + 1 &&
         !anyZeroByte((WordAt(bytes + at) ^ firsts) | (WordAt(bytes + at + size - 1) ^ lasts)))
    at += 8;
  for (; at <= lastStart; ++at)
    if (bytes[at] == first && bytes[at + size - 1] == last) return at;
  return std::string_view::npos;
}

std::size_t MarkerSearch::searchLinear(std::string_view text, std::size_t from) {
  const std::vector<std::size_t>& border = borders();
  for (std::size_t i = from, k = 0; i < text.size(); ++i) {
    // With nothing matched yet, jump to the next byte that can start a match.
    if (k == 0) {
      i = text.find(marker_[0], i);
      if (i == std::string_view::npos) break;
    }
    while (k > 0 && text[i] != marker_[k]) k = border[k - 1];
    if (text[i] == marker_[k]) ++k;
    if (k == marker_.size()) return i + 1 - k;
  }
  return std::string_view::npos;
}

std::size_t MarkerSearch::next(std::string_view text, std::size_t from) {
  const std::size_t size = marker_.size();
  if (size > text.size() || from > text.size() - size) return std::string_view::npos;
  if (linear_) return searchLinear(text, from);
  if (size == 1) return text.find(marker_.front(), from);
  for (std::size_t at = from; (at = nextCandidate(text, at)) != std::string_view::npos; ++at) {
    if (SameBytes(text.data() + at + 1, marker_.data() + 1, size - 2)) {
      passed_ += at + 1 - from;
      return at;
    }
    compared_ += size;
    if (compared_ > kComparesPerByte * (passed_ + at + 1 - from) + kStartAllowance) {
      linear_ = true;
      return searchLinear(text, at);
    }
  }
  passed_ += text.size() - from;
  return std::string_view::npos;
}

}  // namespace tcp
