#include "plugin/library_state.h"
#include "plugin/plugin_form.h"
#include "win32/win32_platform.h"

namespace {

constexpr char kApplicationCaption[] = "tcpplug";

// Runs under the loader lock: set the initial state and create the one hidden
// application window, nothing else. The socket layer and the form wait for
// the host's first SetParentWindow.
void attach() {
  tcp::LibraryState& state = tcp::library();
  state.platform = tcp::win32::platform();
  state.applicationCaption = kApplicationCaption;
  state.applicationWindow = state.platform.windows->createApplicationWindow(kApplicationCaption);
}

// On FreeLibrary the application window goes with the library, so that a
// later load starts afresh. At process exit the system takes it anyway.
void detach() {
  tcp::LibraryState& state = tcp::library();
  // The form's hidden application window shares the class; it goes first.
  state.form.reset();
  state.platform.windows->destroyWindow(state.applicationWindow);
  state.applicationWindow = 0;
  tcp::win32::unregisterApplicationClass();
}

// At process exit the system takes the windows and sockets down itself, and
// other threads are already gone: a form still alive is left to it rather
// than released from under the loader lock.
void abandonAtExit() { static_cast<void>(tcp::library().form.release()); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) attach();
  if (reason == DLL_PROCESS_DETACH) reserved == nullptr ? detach() : abandonAtExit();
  return TRUE;
}
