#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "platform/window_system.h"

namespace tcp {

// The slots through which the host hands arguments to commands and reads their
// results back. Texts are byte strings that may hold zero bytes.
struct ExchangeArea {
  std::string ExchangeText;
  std::int32_t ExchangeValue = 0;
  // The last five texts given to SetFile, entry 0 the newest: commands that
  // take two texts read entry 1 and entry 0.
  std::array<std::string, 5> FileHistory;
  std::string PluginPath;
  WindowHandle HostWindow = 0;
  struct Position {
    std::int32_t x = 0;
    std::int32_t y = 0;
  } PluginPosition;

  // A text from the host (SetFile): shifts FileHistory towards its old end,
  // then stores the text as entry 0 and as ExchangeText. Null counts as the
  // empty text. The text slot gets storage of its own size: what a large
  // result left in it is given back rather than kept.
  void takeText(const char* text) {
    std::move_backward(FileHistory.begin(), FileHistory.end() - 1, FileHistory.end());
    FileHistory[0] = text ? text : "";
    ExchangeText = std::string(FileHistory[0]);
  }
  // The text slot as the host reads it (GetFile): the characters of
  // ExchangeText followed by a zero byte; never null.
  const char* textForHost() const { return ExchangeText.c_str(); }
};

}  // namespace tcp
