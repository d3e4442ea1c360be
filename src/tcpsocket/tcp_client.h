#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/sockets.h"
#include "tcpsocket/send_queue.h"

namespace tcp {

// The message a socket's events arrive with.
inline constexpr std::uint32_t kSocketMessage = 0x0401;

// Socket events as the platform reports them in the low half of lParam.
enum SocketEvent : std::uint32_t {
  kSocketRead = 1,
  kSocketWrite = 2,
  kSocketConnect = 16,
  kSocketClose = 32,
};
inline constexpr std::int32_t kSocketEventMask = kSocketRead | kSocketWrite | kSocketConnect | kSocketClose;
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInvalidArgument = 10022;

// The text of a Windows Sockets error code; "WSAEUNKNOWN" for codes not listed.
std::string ErrorName(std::int32_t code);

// An asynchronous IPv4 TCP client driven by its socket window's messages; its
// states are tabled beside the fields that hold them. All of it runs on the
// thread that handles the socket window's messages. Event handlers may call
// back into the client (even Connect again): a message stops acting once a
// handler has closed or replaced the socket it concerns.
class TcpClient final : public SocketMessageSink {
 public:
  static constexpr std::size_t kBufferSize = 1048576;

  using Event = std::function<void(TcpClient&)>;
  using ErrorEvent = std::function<void(TcpClient&, std::int32_t code)>;
  // The buffer, its highest valid index and the count the read returned.
  using ReadEvent = std::function<void(TcpClient&, const char* buffer, std::int32_t highestIndex, std::int32_t count)>;
  // Shows the library's message box; used only for errors nobody handles.
  using MessageBox = std::function<void(const std::string& text)>;

  TcpClient(SocketSystem& sockets, MessageBox messageBox);
  ~TcpClient() override;
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  Event OnConnect;
  Event OnDisconnect;
  ErrorEvent OnError;
  ReadEvent OnRead;

  void setPort(std::uint16_t port) { Port_ = port; }
  // The port to connect to; while Connected, the connection's local port.
  // Reading it never changes the port the next Connect uses.
  std::uint16_t port();
  void setHost(std::string host) { Host_ = std::move(host); }
  const std::string& host() const { return Host_; }
  bool Connected() const { return Connected_; }
  bool Connecting() const { return Connecting_; }
  SocketHandle socket() const { return Socket_; }

  void Connect();
  void Disconnect();
  // Sends every byte of text in order: what one send does not take waits in a
  // queue for the socket's write event. A failed send is reported.
  void SendText(std::string_view text);
  std::int32_t Send(const char* bytes, std::int32_t count);
  std::int32_t Receive(char* bytes, std::int32_t count);
  // Whether a platform result reports a failure; reports it (to OnError, or
  // in the message box) unless it is would-block.
  bool CheckResult(std::int32_t result);
  void CloseSocket();

  std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;

 private:
  void raise(const Event& event);
  void reportError(int code);
  void handleSocketError(SocketHandle socket, int code);
  void handleClose(SocketHandle socket);
  void abandonConnect(SocketHandle socket);
  bool readAvailable();
  void sendQueued();

  SocketSystem& sockets_;
  MessageBox messageBox_;
  // The hidden window, made by the first Connect and kept for later ones.
  WindowHandle Window_ = 0;
  std::uint16_t Port_ = 0;
  //   state       Socket_   Connecting_  Connected_
  //   Closed      none      false        false
  //   Connecting  open      true         false
  //   Connected   open      false        true
  //
  // Closed -> Connecting: Connect with no failure.
  // Connecting -> Connected: connect event without error (OnConnect).
  // Connecting -> Closed: connect event with an error (OnError only),
  //   Disconnect (no event), Connect (restarts).
  // Connected -> Closed: close event (OnRead for bytes still readable, OnError
  //   when it carries an error, then OnDisconnect), Disconnect (OnDisconnect),
  //   Connect (OnDisconnect, then a new connect).
  SocketHandle Socket_ = kNoSocket;
  bool Connecting_ = false;
  bool Connected_ = false;
  // Held for the whole read path, OnRead included, and inside Receive; the
  // same thread may take it again.
  std::recursive_mutex Guard_;
  std::string Host_;
  SendQueue queue_;
  bool destroying_ = false;
  std::array<char, kBufferSize> Buffer_;
};

}  // namespace tcp
