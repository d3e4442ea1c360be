#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "textops/candidate_starts.h"
#include "textops/marker_search.h"
#include "textops/textops.h"

namespace tcp {
namespace {

// The pairs of bytes that end the marker's partial prefixes (two bytes long
// up to one byte short of the marker): a kept text whose last two bytes are
// none of them, and whose last byte is not the marker's first, ends in no
// part of the marker, which the pass then knows without looking further.
class PrefixEnds {
 public:
  explicit PrefixEnds(std::string_view marker) : first_(marker.front()) {
    for (std::size_t j = 2; j < marker.size(); ++j) set(pairOf(marker[j - 2], marker[j - 1]));
  }
  bool mayEndPrefix(std::string_view text) const {
    if (text.empty()) return false;
    return text.back() == first_ || (text.size() >= 2 && test(pairOf(text[text.size() - 2], text.back())));
  }

 private:
  static std::size_t pairOf(char a, char b) {
    return static_cast<std::size_t>(static_cast<unsigned char>(a)) << 8 | static_cast<unsigned char>(b);
  }
  void set(std::size_t pair) { bits_[pair >> 6] |= std::uint64_t{1} << (pair & 63); }
  bool test(std::size_t pair) const { return (bits_[pair >> 6] >> (pair & 63)) & 1; }

  char first_;
  std::array<std::uint64_t, 1024> bits_{};
};

// The matcher's state after text: how many bytes of marker its end holds.
// Only the last marker.size() - 1 bytes of text can take part.
std::size_t matchedAtEnd(std::string_view text, std::string_view marker, const std::vector<std::size_t>& border,
                         const PrefixEnds& ends) {
  if (!ends.mayEndPrefix(text)) return 0;
  const std::size_t keep = std::min(text.size(), marker.size() - 1);
  std::size_t k = 0;
  for (char byte : text.substr(text.size() - keep)) {
    while (k > 0 && byte != marker[k]) k = border[k - 1];
    if (byte == marker[k]) ++k;
  }
  return k;
}

// The pass's copying while the kept text ends in no part of the marker: the
// bytes go down sixteen at a time up to the next start that may hold the
// marker. A block may go out whole once the writes are a block behind the
// reads; each block is read before a write reaches it.
class CandidateCopy {
 public:
  explicit CandidateCopy(std::string_view marker) : starts_(marker) {}

  // Copies the bytes from read on down to kept, up to the next candidate;
  // false when none is left and all the bytes are kept.
  bool copyToCandidate(char* bytes, std::size_t end, std::size_t& kept, std::size_t& read) const {
    const std::size_t size = starts_.markerSize();
    for (; end - read >= size + kBlock - 1; read += kBlock, kept += kBlock) {
      const std::size_t before = starts_.firstOfSixteen(bytes + read);
      if (before == kBlock) {
        copyBlock(bytes + kept, bytes + read);
        continue;
      }
      if (read - kept >= kBlock)
        copyBlock(bytes + kept, bytes + read);
      else
        for (std::size_t i = 0; i < before; ++i) bytes[kept + i] = bytes[read + i];
      kept += before;
      read += before;
      return true;
    }
    for (; end - read >= size; bytes[kept++] = bytes[read++])
      if (starts_.at(bytes + read)) return true;
    while (read < end) bytes[kept++] = bytes[read++];
    return false;
  }

 private:
  static constexpr std::size_t kBlock = 16;
  // Through a copy of its own, so that the block may overlap where it goes.
  static void copyBlock(char* to, const char* from) {
    char block[kBlock];
    std::memcpy(block, from, kBlock);
    std::memcpy(to, block, kBlock);
  }

  CandidateStarts starts_;
};

}  // namespace

// Removing the first occurrence again and again until none is left is the
// same as one left-to-right pass that drops the marker as soon as the text
// kept so far ends with it: all occurrences are as long as the marker, so the
// one that starts first also ends first. The kept text is written over the
// text itself. After a removal the matcher resumes from the state of the kept
// text's new end, found from its last bytes; removals take marker-sized bites,
// so that costs no more than the bytes removed, and the pass stays linear.
// While the kept text ends in no part of the marker, the next removal can only
// be at the next occurrence in the text still to read: the pass copies the
// bytes down to the next start that may be one and compares the marker there,
// a short one at once, a long one through the search, which stays linear
// however many starts fail. When the kept text ends in a part, the occurrence
// that would end first completes that part: one comparison with the rest of
// the marker finds it, once per removal or search, and only when it fails do
// the bytes go through the matcher one at a time.
void StripMarker(std::string& text, std::string_view marker) {
  if (marker.empty()) return;
  constexpr std::size_t kShort = 16;
  MarkerSearch search(marker);
  const std::vector<std::size_t>& border = search.borders();
  const PrefixEnds ends(marker);
  const CandidateCopy copy(marker);
  const std::size_t size = marker.size();
  char* const bytes = text.data();
  std::size_t kept = 0, read = 0, k = 0;
  while (read < text.size()) {
    if (k == 0) {
      if (!copy.copyToCandidate(bytes, text.size(), kept, read)) break;
      if (size <= kShort && !SameBytes(bytes + read, marker.data(), size)) {
        bytes[kept++] = bytes[read++];
        continue;
      }
      if (size > kShort) {
        const std::size_t found = search.next(text, read);
        const std::size_t until = found == std::string_view::npos ? text.size() : found;
        std::memmove(bytes + kept, bytes + read, until - read);
        kept += until - read;
        read = until;
        if (found == std::string_view::npos) break;
      }
      read += size;
    } else if (text.size() - read >= size - k && SameBytes(bytes + read, marker.data() + k, size - k)) {
      kept -= k;
      read += size - k;
    } else {
      while (read < text.size() && k > 0 && k < size) {
        const char byte = bytes[read++];
        bytes[kept++] = byte;
        while (k > 0 && byte != marker[k]) k = border[k - 1];
        if (byte == marker[k]) ++k;
      }
      if (k < size) continue;
      kept -= size;
    }
    k = matchedAtEnd(std::string_view(bytes, kept), marker, border, ends);
  }
  text.resize(kept);
}

}  // namespace tcp
