#pragma once

#include <string>
#include <string_view>

#include "textops/textops.h"

namespace tcp {

// The text slot, a byte string that may hold zero bytes. It knows whether it
// still holds the very text SetFile gave last: every change goes through one
// of its members, so sendc can tell without comparing the two, which for a
// large request costs as much as the send.
class TextSlot {
 public:
  const std::string& text() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  std::size_t size() const { return text_.size(); }

  // Whether the slot holds what SetFile gave last, unchanged.
  bool holdsHostText() const { return hostText_; }

  // The text SetFile gave.
  void takeHostText(std::string text) noexcept {
    ReplaceText(text_, std::move(text));
    hostText_ = true;
  }
  // A command's result, with its own storage.
  TextSlot& operator=(std::string&& text) noexcept {
    ReplaceText(text_, std::move(text));
    hostText_ = false;
    return *this;
  }
  // A command's result copied in, into the slot's storage when it has room.
  void assign(std::string_view text) {
    text_.assign(text);
    hostText_ = false;
  }
  // For a command that rewrites the text where it lies.
  std::string& edit() {
    hostText_ = false;
    return text_;
  }
  // The same text in storage of its own size, when it holds much more.
  void giveBackSpareStorage() noexcept { GiveBackSpareStorage(text_); }

 private:
  std::string text_;
  bool hostText_ = false;
};

}  // namespace tcp
