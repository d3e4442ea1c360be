#include "session.h"

namespace tcphost {

Session::Session(const std::string& dllPath, bool childWindow) : plugin_(dllPath) {
  if (!plugin_.loaded()) {
    problem_ = "cannot load " + dllPath + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  if (!plugin_.has("SetParentWindow") || !plugin_.has("GetFile")) {
    problem_ = dllPath + " is not tcp.dll: it has no SetParentWindow or GetFile";
    return;
  }
  if (childWindow)
    frame_ = CreateWindowExA(0, "STATIC", "tcphost", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  host_ = std::make_unique<HostWindow>(plugin_, "tcphost", frame_, frame_ != nullptr);
  // A library with queued events gives each click its own event.
  if (plugin_.has("setevents")) {
    plugin_.setData(1);
    plugin_.command("setevents");
    host_->readQueuedEvents(true);
  }
  plugin_.setParentWindow(host_->handle());
  plugin_.draw(10, 20, 300, 40);
}

Session::~Session() {
  host_.reset();
  if (frame_) DestroyWindow(frame_);
}

std::string Session::besideProgram() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "tcp.dll";
}

}  // namespace tcphost
