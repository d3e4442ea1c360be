#include "plugin/library_state.h"

#include "plugin/plugin_form.h"

namespace tcp {

LibraryState::LibraryState() = default;

// The form goes first, while everything it reaches is still there. Releasing
// it stops its timer, closes the connection without events and destroys its
// windows, so that no code of an unloaded library is left to be called.
LibraryState::~LibraryState() { form.reset(); }

LibraryState& library() {
  static LibraryState state;
  return state;
}

}  // namespace tcp
