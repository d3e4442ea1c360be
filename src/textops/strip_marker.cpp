#include <algorithm>
#include <cstring>

#include "textops/marker_search.h"
#include "textops/textops.h"

namespace tcp {
namespace {

// The matcher's state after text: how many bytes of marker its end holds.
// Only the last marker.size() - 1 bytes of text can take part.
std::size_t matchedAtEnd(std::string_view text, std::string_view marker, const std::vector<std::size_t>& border) {
  const std::size_t keep = std::min(text.size(), marker.size() - 1);
  std::size_t k = 0;
  for (char byte : text.substr(text.size() - keep)) {
    while (k > 0 && byte != marker[k]) k = border[k - 1];
    if (byte == marker[k]) ++k;
  }
  return k;
}

}  // namespace

// Removing the first occurrence again and again until none is left is the
// same as one left-to-right pass that drops the marker as soon as the text
// kept so far ends with it: all occurrences are as long as the marker, so the
// one that starts first also ends first. The kept text is written over the
// text itself. After a removal the matcher resumes from the state of the kept
// text's new end, found from its last bytes; removals take marker-sized bites,
// so that costs no more than the bytes removed, and the pass stays linear.
// While the kept text ends in no part of the marker, the next removal can only
// be at the next occurrence in the text still to read: the pass searches for
// it and moves the bytes before it down in one piece.
void StripMarker(std::string& text, std::string_view marker) {
  if (marker.empty()) return;
  MarkerSearch search(marker);
  const std::vector<std::size_t>& border = search.borders();
  char* const bytes = text.data();
  std::size_t kept = 0, read = 0, k = 0;
  while (read < text.size()) {
    if (k == 0) {
      const std::size_t found = search.next(text, read);
      const std::size_t until = found == std::string_view::npos ? text.size() : found;
      if (kept != read) std::memmove(bytes + kept, bytes + read, until - read);
      kept += until - read;
      if (found == std::string_view::npos) break;
      read = found + marker.size();
    } else {
      const char byte = bytes[read++];
      bytes[kept++] = byte;
      while (k > 0 && byte != marker[k]) k = border[k - 1];
      if (byte == marker[k]) ++k;
      if (k < marker.size()) continue;
      kept -= marker.size();
    }
    k = matchedAtEnd(std::string_view(bytes, kept), marker, border);
  }
  text.resize(kept);
}

}  // namespace tcp
