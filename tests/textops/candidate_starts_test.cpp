#include "textops/candidate_starts.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tcp {
namespace {

// The first start in sixteen whose first, second and last bytes are the
// marker's, one byte at a time.
std::size_t firstByBytes(const std::string& text, std::size_t from, const std::string& marker) {
  const std::size_t second = marker.size() > 2 ? 1 : 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const char* start = text.data() + from + i;
    if (start[0] == marker[0] && start[second] == marker[second] && start[marker.size() - 1] == marker.back())
      return i;
  }
  return 16;
}

// Every way of looking agrees on every start of random texts over a small
// alphabet, where candidates come close together and often.
TEST(CandidateStarts, WordsAndSse2FindTheFirstCandidateAsBytesDo) {
  std::mt19937 random(7);
  for (const std::string alphabet : {"ab", "<br>", "abcdefgh\x80\xff"}) {
    std::uniform_int_distribution<std::size_t> letter(0, alphabet.size() - 1);
    for (std::size_t size = 1; size <= 20; ++size) {
      std::string marker, text;
      for (std::size_t i = 0; i < size; ++i) marker += alphabet[letter(random)];
      for (std::size_t i = 0; i < 400; ++i) text += alphabet[letter(random)];
      const CandidateStarts starts(marker);
      for (std::size_t from = 0; from + 15 + size <= text.size(); ++from) {
        const std::size_t expected = firstByBytes(text, from, marker);
        ASSERT_EQ(starts.firstOfSixteenByWords(text.data() + from), expected) << marker << " at " << from;
#if defined(__SSE2__)
        ASSERT_EQ(starts.firstOfSixteenBySse2(text.data() + from), expected) << marker << " at " << from;
#endif
      }
    }
  }
}

}  // namespace
}  // namespace tcp
