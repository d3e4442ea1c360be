#include "plugin/plugin_session.h"
#include "win32/win32_platform.h"

namespace {

constexpr char kApplicationCaption[] = "tcpplug";

// Runs under the loader lock: set the initial state and create the one hidden
// application window, nothing else. The socket layer and the form wait for
// the host's first SetParentWindow.
void attach() {
  tcp::Session& session = tcp::PluginSession();
  session.platform = tcp::win32::platform();
  session.applicationCaption = kApplicationCaption;
  session.applicationWindow = session.platform.windows->createApplicationWindow(kApplicationCaption);
}

// On FreeLibrary the windows and their classes go with the library, so that a
// later load starts afresh. At process exit the system takes them anyway.
void detach() {
  tcp::Session& session = tcp::PluginSession();
  tcp::win32::leaveSocketLayerAtUnload();
  // The form's hidden application window shares the class; it goes first.
  session.form.reset();
  session.platform.windows->destroyWindow(session.applicationWindow);
  session.applicationWindow = 0;
  tcp::win32::unregisterWindowClasses();
}

// At process exit the system takes the windows and sockets down itself, and
// other threads are already gone: a form still alive is left to it rather
// than released from under the loader lock.
void abandonAtExit() { static_cast<void>(tcp::PluginSession().form.release()); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) attach();
  if (reason == DLL_PROCESS_DETACH) reserved == nullptr ? detach() : abandonAtExit();
  return TRUE;
}
