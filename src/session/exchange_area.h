#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/window_system.h"
#include "session/text_slot.h"

namespace tcp {

// The last five texts given to SetFile, entry 0 the newest. Each entry has
// storage of its own size, which a send still under way may share: shifting
// moves the storage along, so a short text never sits in a large one's.
class TextHistory {
 public:
  using Entry = std::shared_ptr<const std::string>;
  static constexpr std::size_t kLength = 5;

  const std::string& operator[](std::size_t index) const {
    static const std::string none;
    return entries_[index] ? *entries_[index] : none;
  }
  // The storage of entry index; null for an entry never set.
  const Entry& entry(std::size_t index) const { return entries_[index]; }
  // Shifts every entry towards the old end; entry becomes entry 0.
  void push(Entry entry) noexcept {
    std::move_backward(entries_.begin(), entries_.end() - 1, entries_.end());
    entries_[0] = std::move(entry);
  }
  bool operator==(const std::array<std::string, kLength>& texts) const {
    for (std::size_t i = 0; i < kLength; ++i)
      if ((*this)[i] != texts[i]) return false;
    return true;
  }

 private:
  std::array<Entry, kLength> entries_;
};

// The slots through which the host hands arguments to commands and reads their
// results back. Texts are byte strings that may hold zero bytes.
struct ExchangeArea {
  TextSlot ExchangeText;
  std::int32_t ExchangeValue = 0;
  // Commands that take two texts read entry 1 and entry 0.
  TextHistory FileHistory;
  std::string PluginPath;
  WindowHandle HostWindow = 0;
  struct Position {
    std::int32_t x = 0;
    std::int32_t y = 0;
  } PluginPosition;

  // A text from the host (SetFile): shifts FileHistory towards its old end,
  // then stores the text as entry 0 and as ExchangeText. Null counts as the
  // empty text. Both get storage of the text's own size: what a large text
  // or result left in them is given back rather than kept. When memory runs
  // out, both stay as they were.
  void takeText(const char* text) {
    auto entry = std::make_shared<const std::string>(text ? text : "");
    ExchangeText.takeHostText(std::string(*entry));
    FileHistory.push(std::move(entry));
  }
  // Whether text is the text slot's own bytes, still as SetFile gave them,
  // and so the same as FileHistory's entry 0 without comparing the two.
  bool isHostText(std::string_view text) const {
    return ExchangeText.holdsHostText() && text.data() == ExchangeText.c_str() && text.size() == ExchangeText.size();
  }
  // The text slot as the host reads it (GetFile): the characters of
  // ExchangeText followed by a zero byte; never null.
  const char* textForHost() const { return ExchangeText.c_str(); }
};

}  // namespace tcp
