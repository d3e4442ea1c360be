#pragma once

namespace tcp::win32 {

// Runs the library's part of a window procedure or a timer tick: the system's
// frames around it know nothing of C++ exceptions, so anything thrown inside
// (a failed allocation) ends here, and the caller gets `failed`.
template <typename Result, typename Work>
Result Shielded(Result failed, Work&& work) noexcept {
  try {
    return work();
  } catch (...) {
    return failed;
  }
}

}  // namespace tcp::win32
