#include <winsock2.h>
#include <ws2tcpip.h>

#include "win32/win32_address_lookup.h"

#include <cstring>

#include "tcpsocket/ipv6_literal.h"

namespace tcp::win32 {
namespace {

using GetAddrInfoExFunction = decltype(&GetAddrInfoExW);
using CancelFunction = INT(WSAAPI*)(LPHANDLE);
using ResultFunction = INT(WSAAPI*)(LPOVERLAPPED);
using FreeFunction = decltype(&FreeAddrInfoExW);

// Looked up once: ws2_32 is loaded with the sockets layer, and these exist
// only from Windows 8 on.
struct AsyncLookupFunctions {
  GetAddrInfoExFunction getAddrInfoEx = nullptr;
  CancelFunction cancel = nullptr;
  ResultFunction result = nullptr;
  FreeFunction free = nullptr;
  bool available() const { return getAddrInfoEx && cancel && result && free; }
};

template <typename Function>
Function procedure(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const AsyncLookupFunctions& functions() {
  static const AsyncLookupFunctions found = [] {
    AsyncLookupFunctions f;
    if (HMODULE ws2 = GetModuleHandleW(L"ws2_32.dll")) {
      f.getAddrInfoEx = procedure<GetAddrInfoExFunction>(ws2, "GetAddrInfoExW");
      f.cancel = procedure<CancelFunction>(ws2, "GetAddrInfoExCancel");
      f.result = procedure<ResultFunction>(ws2, "GetAddrInfoExOverlappedResult");
      f.free = procedure<FreeFunction>(ws2, "FreeAddrInfoExW");
    }
    return f;
  }();
  return found;
}

// A name with a character beyond ASCII is looked up as the system reads
// the ANSI code page's text.
std::wstring wide(const std::string& name) {
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), text.data(), length);
  return text;
}

std::string textOf(const sockaddr* address) {
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(&v4->sin_addr);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
  }
  Ipv6Address bytes;
  std::memcpy(bytes.data(), &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, bytes.size());
  return FormatIpv6(bytes);
}

}  // namespace

// What the system writes into while the lookup runs: it stays where it is
// until the system is done with it.
struct AddressLookup::Running {
  OVERLAPPED overlapped = {};
  ADDRINFOEXW* result = nullptr;
  HANDLE cancel = nullptr;
  std::wstring name;
};

std::unique_ptr<AddressLookup> AddressLookup::start(const std::string& name, int& error) {
  const AsyncLookupFunctions& f = functions();
  if (!f.available()) {
    error = WSAEOPNOTSUPP;
    return nullptr;
  }
  auto running = std::make_unique<Running>();
  running->name = wide(name);
  running->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!running->overlapped.hEvent) {
    error = WSAENOBUFS;
    return nullptr;
  }
  ADDRINFOEXW hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  const int started = f.getAddrInfoEx(running->name.c_str(), nullptr, NS_ALL, nullptr, &hints, &running->result,
                                      nullptr, &running->overlapped, nullptr, &running->cancel);
  // Answered at once (the system may do so for an address): done already.
  if (started == 0) SetEvent(running->overlapped.hEvent);
  if (started != 0 && started != WSA_IO_PENDING) {
    CloseHandle(running->overlapped.hEvent);
    error = started;
    return nullptr;
  }
  error = 0;
  return std::unique_ptr<AddressLookup>(new AddressLookup(running.release()));
}

AddressLookup::~AddressLookup() {
  if (!finished()) return;
  if (running_->result) functions().free(running_->result);
  CloseHandle(running_->overlapped.hEvent);
  delete running_;
}

void AddressLookup::cancel() {
  if (running_->cancel) functions().cancel(&running_->cancel);
}

bool AddressLookup::finished() const { return WaitForSingleObject(running_->overlapped.hEvent, 0) == WAIT_OBJECT_0; }

SocketResult<std::vector<std::string>> AddressLookup::answer() const {
  SocketResult<std::vector<std::string>> found;
  found.error = functions().result(&running_->overlapped);
  if (found.error != 0) return found;
  // The headers name the link's type differently from the entry's own.
  for (const ADDRINFOEXW* entry = running_->result; entry;
       entry = reinterpret_cast<const ADDRINFOEXW*>(entry->ai_next)) {
    if (!entry->ai_addr || (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)) continue;
    found.value.push_back(textOf(entry->ai_addr));
  }
  if (found.value.empty()) found.error = WSANO_DATA;
  return found;
}

}  // namespace tcp::win32
