#include <winsock.h>

#include <cstring>

#include "win32/win32_platform.h"
#include "win32/win32_socket_window.h"

namespace tcp::win32 {
namespace {

SOCKET toSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in ipv4Address(std::uint32_t address, std::uint16_t port) {
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(port);
  target.sin_addr.s_addr = address;
  return target;
}

class Win32Sockets final : public SocketSystem {
 public:
  int startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
  }
  int cleanup() override { return WSACleanup(); }

  SocketHandle openStream() override {
    const SOCKET opened = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    return opened == INVALID_SOCKET ? kNoSocket : static_cast<SocketHandle>(opened);
  }

  int selectEvents(SocketHandle socket, WindowHandle window, std::uint32_t message, std::int32_t events) override {
    return WSAAsyncSelect(toSocket(socket), reinterpret_cast<HWND>(window), message, events);
  }

  // inet_addr gives all ones both for text it cannot parse and for the one
  // address whose bits are all ones. It would stop at a zero byte, so text
  // that holds one is no address.
  std::optional<std::uint32_t> parseAddress(const std::string& dotted) override {
    if (dotted.find('\0') != std::string::npos) return std::nullopt;
    const unsigned long address = inet_addr(dotted.c_str());
    if (address == INADDR_NONE && dotted != "255.255.255.255") return std::nullopt;
    return static_cast<std::uint32_t>(address);
  }

  int connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override {
    const sockaddr_in target = ipv4Address(address, port);
    return ::connect(toSocket(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target);
  }

  int send(SocketHandle socket, const char* bytes, int count) override {
    return ::send(toSocket(socket), bytes, count, 0);
  }

  int receive(SocketHandle socket, char* bytes, int count) override {
    return ::recv(toSocket(socket), bytes, count, 0);
  }

  int bytesReadable(SocketHandle socket, std::uint32_t& count) override {
    u_long readable = 0;
    const int result = ioctlsocket(toSocket(socket), FIONREAD, &readable);
    count = static_cast<std::uint32_t>(readable);
    return result;
  }

  int localPort(SocketHandle socket, std::uint16_t& port) override {
    sockaddr_in local = {};
    int length = sizeof local;
    const int result = getsockname(toSocket(socket), reinterpret_cast<sockaddr*>(&local), &length);
    port = ntohs(local.sin_port);
    return result;
  }

  int close(SocketHandle socket) override { return closesocket(toSocket(socket)); }
  int lastError() override { return WSAGetLastError(); }
  void setLastError(int code) override { WSASetLastError(code); }

  // A name that holds a zero byte is no name: the lookup would stop there.
  std::string lookUpHost(const std::string& name) override {
    if (name.find('\0') != std::string::npos) return {};
    const hostent* entry = gethostbyname(name.c_str());
    if (!entry || !entry->h_addr_list || !entry->h_addr_list[0]) return {};
    in_addr address;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return inet_ntoa(address);
  }

  WindowHandle createSocketWindow(SocketMessageSink& sink) override { return CreateSocketWindow(sink); }
  void destroySocketWindow(WindowHandle window) override { DestroySocketWindow(window); }

  // Only posted messages are taken: nothing sent to this thread's windows
  // runs from here.
  void dropQueuedMessages(WindowHandle window, std::uint32_t message) override {
    MSG queued;
    while (PeekMessageA(&queued, reinterpret_cast<HWND>(window), message, message,
                        PM_REMOVE | PM_NOYIELD | PM_QS_POSTMESSAGE)) {
    }
  }
};

}  // namespace

SocketSystem& sockets() {
  static Win32Sockets instance;
  return instance;
}

}  // namespace tcp::win32
