#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace tcp::win32 {

// One lookup of every address of a name (IPv6 and IPv4, in the system's
// order) that the system runs on threads of its own (GetAddrInfoExW with an
// event, Windows 8 on); its end signals the event, which the owner polls
// from its message loop. No code of the library runs on the system's
// threads, so an unload never races one.
class AddressLookup {
 public:
  // nullptr, with error set, when the system cannot run one without waiting
  // (WSAEOPNOTSUPP before Windows 8) or refused to start it.
  static std::unique_ptr<AddressLookup> start(const std::string& name, int& error);
  // A lookup that has not finished is left to the system, which may still
  // write into it: its memory stays allocated.
  ~AddressLookup();
  AddressLookup(const AddressLookup&) = delete;
  AddressLookup& operator=(const AddressLookup&) = delete;

  bool finished() const;
  // Asks the system to end the lookup early; it finishes all the same.
  void cancel();
  // Once finished: the addresses as text, or the error it failed with.
  SocketResult<std::vector<std::string>> answer() const;

 private:
  struct Running;
  explicit AddressLookup(Running* running) : running_(running) {}
  Running* running_;
};

}  // namespace tcp::win32
