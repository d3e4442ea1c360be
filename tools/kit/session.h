#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host_window.h"
#include "plugin_library.h"

namespace tcphost {

// The host tcphost plays (and tcpbench when it sends): tcp.dll loaded (the
// one beside the program unless another is named), a window of its own (a
// top-level one, or a child of a frame window) given with SetParentWindow,
// queued events when the library has them, and a Draw to place the plug-in.
class Session {
 public:
  Session(const std::string& dllPath, bool childWindow);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Empty when the library is loaded and attached, else why not.
  const std::string& problem() const { return problem_; }
  PluginLibrary& plugin() { return plugin_; }
  HostWindow& host() { return *host_; }

  // The tcp.dll beside the running program.
  static std::string besideProgram();

 private:
  PluginLibrary plugin_;
  HWND frame_ = nullptr;
  std::unique_ptr<HostWindow> host_;
  std::string problem_;
};

}  // namespace tcphost
