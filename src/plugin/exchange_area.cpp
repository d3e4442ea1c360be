#include "plugin/exchange_area.h"

#include <algorithm>

namespace tcp {

void ExchangeArea::setFile(const char* text) {
  std::move_backward(FileHistory.begin(), FileHistory.end() - 1, FileHistory.end());
  FileHistory[0] = text ? text : "";
  ExchangeText = FileHistory[0];
}

}  // namespace tcp
