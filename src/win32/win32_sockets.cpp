#include <winsock.h>

#include <cstring>

#include "win32/win32_name_lookups.h"
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

// sockaddr_in6 as Windows lays it out (ws2ipdef.h), which winsock.h lacks;
// the system's socket calls take it through the Windows Sockets 1.1 entry
// points as they do their IPv4 form.
constexpr int kIpv6Family = 23;  // AF_INET6
struct Ipv6SocketAddress {
  short family;
  u_short port;
  u_long flowInfo;
  unsigned char address[16];
  u_long scopeId;
};
static_assert(sizeof(Ipv6SocketAddress) == 28, "the layout of sockaddr_in6");

// The error of a call that returns SOCKET_ERROR on failure, 0 for success.
int errorOf(int result) { return result == SOCKET_ERROR ? WSAGetLastError() : 0; }

template <typename T>
SocketResult<T> resultOf(int result, T value) {
  return {value, errorOf(result)};
}

class Win32Sockets final : public SocketSystem {
 public:
  int startup() override {
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data);
  }
  int cleanup() override { return unloading ? 0 : errorOf(WSACleanup()); }

  bool unloading = false;

  SocketResult<SocketHandle> openStream() override {
    const SOCKET opened = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (opened == INVALID_SOCKET) return {kNoSocket, WSAGetLastError()};
    return {static_cast<SocketHandle>(opened), 0};
  }

  SocketResult<SocketHandle> openStream6() override {
    const SOCKET opened = ::socket(kIpv6Family, SOCK_STREAM, IPPROTO_TCP);
    if (opened == INVALID_SOCKET) return {kNoSocket, WSAGetLastError()};
    return {static_cast<SocketHandle>(opened), 0};
  }

  int selectEvents(SocketHandle socket, WindowHandle window) override { return SelectSocketEvents(socket, window); }

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
    return errorOf(::connect(toSocket(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target));
  }

  int connect6(SocketHandle socket, const Ipv6Address& address, std::uint16_t port) override {
    Ipv6SocketAddress target = {};
    target.family = kIpv6Family;
    target.port = htons(port);
    std::memcpy(target.address, address.data(), address.size());
    return errorOf(::connect(toSocket(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target));
  }

  SocketResult<std::int32_t> send(SocketHandle socket, const char* bytes, std::int32_t count) override {
    const int sent = ::send(toSocket(socket), bytes, count, 0);
    return resultOf<std::int32_t>(sent, sent);
  }

  SocketResult<std::int32_t> receive(SocketHandle socket, char* bytes, std::int32_t count) override {
    const int received = ::recv(toSocket(socket), bytes, count, 0);
    return resultOf<std::int32_t>(received, received);
  }

  SocketResult<std::uint32_t> bytesReadable(SocketHandle socket) override {
    u_long readable = 0;
    const int result = ioctlsocket(toSocket(socket), FIONREAD, &readable);
    return resultOf(result, static_cast<std::uint32_t>(readable));
  }

  // The port sits at the same place in both families' addresses.
  SocketResult<std::uint16_t> localPort(SocketHandle socket) override {
    Ipv6SocketAddress local = {};
    int length = sizeof local;
    const int result = getsockname(toSocket(socket), reinterpret_cast<sockaddr*>(&local), &length);
    return resultOf(result, static_cast<std::uint16_t>(ntohs(local.port)));
  }

  int close(SocketHandle socket) override { return errorOf(closesocket(toSocket(socket))); }

  // A name that holds a zero byte is no name: the lookup would stop there.
  SocketResult<std::string> lookUpHost(const std::string& name) override {
    if (name.find('\0') != std::string::npos) return {{}, WSAHOST_NOT_FOUND};
    const hostent* entry = gethostbyname(name.c_str());
    if (!entry) return {{}, WSAGetLastError()};
    if (!entry->h_addr_list || !entry->h_addr_list[0]) return {{}, WSANO_DATA};
    in_addr address;
    std::memcpy(&address, entry->h_addr_list[0], sizeof address);
    return {inet_ntoa(address), 0};
  }

  int startLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) override {
    return StartNameLookup(name, timeoutMs, std::move(done));
  }

  int startLookupAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) override {
    return StartAddressLookup(name, timeoutMs, std::move(done));
  }

  WindowHandle createSocketWindow(SocketEventSink& sink) override { return CreateSocketWindow(sink); }
  void destroySocketWindow(WindowHandle window) override { DestroySocketWindow(window); }
  void dropQueuedEvents(WindowHandle window) override { DropQueuedSocketEvents(window); }
  int startTimer(WindowHandle window, SocketHandle socket, std::uint32_t delayMs) override {
    return StartSocketTimer(window, socket, delayMs);
  }
  void stopTimer(WindowHandle window, SocketHandle socket) override { StopSocketTimer(window, socket); }
};

Win32Sockets& instance() {
  static Win32Sockets sockets;
  return sockets;
}

}  // namespace

SocketSystem& sockets() { return instance(); }

void leaveSocketLayerAtUnload() {
  instance().unloading = true;
  AbandonNameLookupsAtUnload();
}

}  // namespace tcp::win32
