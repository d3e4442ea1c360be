#include <new>

#include "textops/textops.h"

namespace tcp {

void GiveBackSpareStorage(std::string& text) noexcept {
  if (text.capacity() <= kSpareStorageLimit || text.capacity() / 2 <= text.size()) return;
  try {
    ReplaceText(text, std::string(text));
  } catch (const std::bad_alloc&) {
  }
}

}  // namespace tcp
