#pragma once

#include <memory>
#include <string>

#include "http/received_response.h"
#include "platform/platform.h"
#include "session/event_queue.h"
#include "session/exchange_area.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {

// The plug-in form as the session sees it: the owner of the connection's
// client. Built by the host's first SetParentWindow.
class SessionForm {
 public:
  virtual ~SessionForm() = default;
  // The form's socket client; null once the form's window is gone.
  virtual TcpClient* client() = 0;
};

// How the host hears of events, and what is known of the exchange under way.
struct Conversation {
  // setevents 1: events go into the queue for nextevent instead of the slots.
  bool queued = false;
  EventQueue events;
  // Code 3 came since the last request or connect: a close that cuts the
  // response short needs no failure of its own then.
  bool failureReported = false;
  // The host itself is closing the connection (disconect, or kconect on a
  // live one): the close says nothing of the response.
  bool hostClosing = false;
};

// A host name being looked up in the background (queued mode): its answer
// is taken only while it is the latest sethost's, and a kconect given
// meanwhile waits for it.
struct HostLookup {
  std::uint32_t generation = 0;
  bool running = false;
  bool connectWhenDone = false;
};

// Everything one loaded library keeps, in one place: no entry point takes an
// instance argument, so there is exactly one per loaded copy of the library.
struct Session {
  Platform platform;
  ExchangeArea exchange;
  ReceivedResponse response;
  Conversation conversation;
  HostLookup lookup;
  // HeaderLines exist while the form lives: the form sets this when it is
  // built, and clears it (emptying the list) when its window is destroyed.
  // Without them makeheader keeps nothing and getheadername finds nothing.
  bool headerLinesKept = false;
  // The code of the last failure reported with code 3 since the last
  // kconect (a Windows Sockets code, or a negative HRESULT-style one); 0 for none.
  std::int32_t lastFailure = 0;
  // The hidden application window "tcpplug" created at library load; it owns
  // the library's message box and gives it its title.
  WindowHandle applicationWindow = 0;
  std::string applicationCaption;
  // The plug-in form, which owns the client. Declared last, so that it goes
  // first, while everything it reaches is still there.
  std::unique_ptr<SessionForm> form;

  // The form's client: null before the first SetParentWindow and once the
  // form's window is gone.
  TcpClient* client() const { return form ? form->client() : nullptr; }
};

}  // namespace tcp
