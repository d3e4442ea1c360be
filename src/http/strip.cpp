#include <vector>

#include "http/http_commands.h"
#include "textops/marker_borders.h"

namespace tcp {

// Removing the first occurrence again and again until none is left is the
// same as one left-to-right pass that drops the marker as soon as the text
// kept so far ends with it: all occurrences are as long as the marker, so the
// one that starts first also ends first. The matcher's state is kept per kept
// byte, so a removal resumes matching where the kept text now ends; each byte
// is kept and dropped at most once, which keeps the pass linear.
void strip(ExchangeArea& area) {
  const std::string& marker = area.FileHistory[1];
  if (marker.empty()) return;
  const std::vector<std::size_t> border = MarkerBorders(marker);
  std::string kept;
  std::vector<std::size_t> matched;  // matched[i]: marker bytes matched after kept[i]
  kept.reserve(area.ExchangeText.size());
  matched.reserve(area.ExchangeText.size());
  for (char byte : area.ExchangeText) {
    std::size_t k = matched.empty() ? 0 : matched.back();
    while (k > 0 && byte != marker[k]) k = border[k - 1];
    if (byte == marker[k]) ++k;
    kept += byte;
    matched.push_back(k);
    if (k == marker.size()) {
      kept.resize(kept.size() - marker.size());
      matched.resize(matched.size() - marker.size());
    }
  }
  area.ExchangeText = std::move(kept);
}

}  // namespace tcp
