#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>

#include "tcpsocket/error_table.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

constexpr char kUnknownSocketError[] = "WSAEUNKNOWN";

struct SocketError {
  std::int32_t code;
  const char* symbol;
  const char* boxText;
};

struct Reason {
  TlsCode code;
  const char* symbol;
};

#define TCP_SAME nullptr
#define TCP_UNSHOWN kUnknownSocketError
#define TCP_SOCKET_ENTRY(code, symbol, boxText) {code, #symbol, boxText},
constexpr SocketError kSocketErrors[] = {TCP_SOCKET_ERRORS(TCP_SOCKET_ENTRY)};
#undef TCP_SOCKET_ENTRY
#undef TCP_UNSHOWN
#undef TCP_SAME

#define TCP_REASON_ENTRY(code, symbol) {code, #symbol},
constexpr Reason kReasons[] = {TCP_REASONS(TCP_REASON_ENTRY)};
#undef TCP_REASON_ENTRY

template <typename Entry, std::size_t N>
constexpr bool SortedByCode(const Entry (&entries)[N]) {
  for (std::size_t i = 1; i < N; ++i)
    if (!(entries[i - 1].code < entries[i].code)) return false;
  return true;
}
static_assert(SortedByCode(kSocketErrors), "the socket errors must be listed by code, each once");
static_assert(SortedByCode(kReasons), "the reasons must be listed by code, each once");

template <typename Entry, std::size_t N, typename Code>
const Entry* Find(const Entry (&entries)[N], Code code) {
  const Entry* found = std::lower_bound(std::begin(entries), std::end(entries), code,
                                        [](const Entry& entry, Code c) { return entry.code < c; });
  return found != std::end(entries) && found->code == code ? found : nullptr;
}

}  // namespace

std::string ErrorName(std::int32_t code) {
  const SocketError* found = Find(kSocketErrors, code);
  if (!found) return kUnknownSocketError;
  return found->boxText ? found->boxText : found->symbol;
}

std::string SocketErrorSymbol(std::int32_t code) {
  const SocketError* found = Find(kSocketErrors, code);
  return found ? found->symbol : kUnknownSocketError;
}

std::string TlsErrorName(TlsCode code) {
  if (const Reason* found = Find(kReasons, code)) return found->symbol;
  std::array<char, 16> hex{};
  std::snprintf(hex.data(), hex.size(), "0x%08X", static_cast<unsigned>(code));
  return hex.data();
}

}  // namespace tcp
