#include <winsock.h>

#include "win32/win32_socket_window.h"

#include <optional>

#include "win32/barrier.h"
#include "win32/win32_bound_window.h"
#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

constexpr char kSocketWindowClass[] = "TCPSocket";
constexpr UINT kSocketMessage = WM_USER + 1;
constexpr long kSelectedEvents = FD_READ | FD_WRITE | FD_CONNECT | FD_CLOSE;

// Each message carries one event; the events not selected are none of ours.
std::optional<SocketEvent> eventOf(WORD bits) {
  switch (bits) {
    case FD_READ: return SocketEvent::Read;
    case FD_WRITE: return SocketEvent::Write;
    case FD_CONNECT: return SocketEvent::Connect;
    case FD_CLOSE: return SocketEvent::Close;
    default: return std::nullopt;
  }
}

// Windows Sockets error codes start above 10000; a smaller value in the
// error half of the message is no error.
int errorOf(WORD code) { return code > WSABASEERR ? code : 0; }

// A socket's timer has the socket's handle as its identifier.
LRESULT onTimer(SocketEventSink& sink, WPARAM timer) {
  return Shielded(LRESULT{0}, [&] {
    sink.onSocketEvent(static_cast<SocketHandle>(timer), SocketEvent::Timeout, 0);
    return LRESULT{0};
  });
}

LRESULT CALLBACK socketWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* sink = reinterpret_cast<SocketEventSink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (sink && message == WM_TIMER) return onTimer(*sink, wParam);
  if (!sink || message != kSocketMessage) return DefWindowProcA(window, message, wParam, lParam);
  const std::optional<SocketEvent> event = eventOf(WSAGETSELECTEVENT(lParam));
  if (!event) return 0;
  return Shielded(LRESULT{0}, [&] {
    sink->onSocketEvent(static_cast<SocketHandle>(wParam), *event, errorOf(WSAGETSELECTERROR(lParam)));
    return LRESULT{0};
  });
}

}  // namespace

WindowHandle CreateSocketWindow(SocketEventSink& sink) {
  return reinterpret_cast<WindowHandle>(CreateBoundWindow(kSocketWindowClass, &socketWindowProcedure, &sink));
}

void DestroySocketWindow(WindowHandle window) { DestroyBoundWindow(reinterpret_cast<HWND>(window)); }

int SelectSocketEvents(SocketHandle socket, WindowHandle window) {
  if (WSAAsyncSelect(static_cast<SOCKET>(socket), reinterpret_cast<HWND>(window), kSocketMessage,
                     kSelectedEvents) == 0)
    return 0;
  return WSAGetLastError();
}

// Only posted messages are taken: nothing sent to this thread's windows
// runs from here.
void DropQueuedSocketEvents(WindowHandle window) {
  MSG queued;
  while (PeekMessageA(&queued, reinterpret_cast<HWND>(window), kSocketMessage, kSocketMessage,
                      PM_REMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE)) {
  }
}

// Setting a timer with the identifier of a running one restarts it.
int StartSocketTimer(WindowHandle window, SocketHandle socket, std::uint32_t delayMs) {
  if (SetTimer(reinterpret_cast<HWND>(window), static_cast<UINT_PTR>(socket), delayMs, nullptr) != 0) return 0;
  return WSAENOBUFS;
}

void StopSocketTimer(WindowHandle window, SocketHandle socket) {
  KillTimer(reinterpret_cast<HWND>(window), static_cast<UINT_PTR>(socket));
}

void UnregisterSocketWindowClass() { UnregisterClassA(kSocketWindowClass, thisModule()); }

}  // namespace tcp::win32
