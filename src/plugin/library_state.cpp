#include "plugin/library_state.h"

namespace tcp {

LibraryState& library() {
  static LibraryState state;
  return state;
}

}  // namespace tcp
