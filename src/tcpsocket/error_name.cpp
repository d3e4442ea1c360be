#include <algorithm>
#include <iterator>

#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

struct ErrorText {
  std::int32_t code;
  const char* text;
};

// Sorted by code. The Cyrillic texts are code page 1251 bytes.
constexpr ErrorText kErrorTexts[] = {
    {10004, "WSAEINTR"},
    {10009, "WSAEBADF"},
    {10013, "\xe4\xee\xf1\xf2\xf3\xef \xe7\xe0\xef\xf0\xe5\xf9\xe5\xed"},  // доступ запрещен
    {10014, "\xed\xe5\xe4\xe5\xe9\xf1\xf2\xe2\xe8\xf2\xe5\xeb\xfc\xed\xfb\xe9 \xe0\xe4\xf0\xe5\xf1"},  // недействительный адрес
    {10022, "WSAEINVAL"},
    {10024, "WSAEMFILE"},
    {10035, "WSAEWOULDBLOCK"},
    {10036, "WSAEINPROGRESS"},
    {10037, "WSAEALREADY"},
    {10038, "WSAENOTSOCK"},
    {10039, "WSAEDESTADDRREQ"},
    {10040, "WSAEMSGSIZE"},
    {10041, "WSAEPROTOTYPE"},
    {10042, "WSAENOPROTOOPT"},
    {10043, "WSAEPROTONOSUPPORT"},
    {10044, "WSAESOCKTNOSUPPORT"},
    {10045, "WSAEOPNOTSUPP"},
    {10046, "WSAEPFNOSUPPORT"},
    // не поддержанное семейством протокола
    {10047, "\xed\xe5 \xef\xee\xe4\xe4\xe5\xf0\xe6\xe0\xed\xed\xee\xe5 \xf1\xe5\xec\xe5\xe9\xf1\xf2\xe2\xee\xec "
            "\xef\xf0\xee\xf2\xee\xea\xee\xeb\xe0"},
    // Адрес уже в использовании
    {10048, "\xc0\xe4\xf0\xe5\xf1 \xf3\xe6\xe5 \xe2 \xe8\xf1\xef\xee\xeb\xfc\xe7\xee\xe2\xe0\xed\xe8\xe8"},
    // Не может назначать требуемый адрес
    {10049, "\xcd\xe5 \xec\xee\xe6\xe5\xf2 \xed\xe0\xe7\xed\xe0\xf7\xe0\xf2\xfc \xf2\xf0\xe5\xe1\xf3\xe5\xec\xfb\xe9 "
            "\xe0\xe4\xf0\xe5\xf1"},
    {10050, "WSAENETDOWN"},
    {10051, "WSAENETUNREACH"},
    {10052, "WSAENETRESET"},
    // аварийное прекращение работы связи
    {10053, "\xe0\xe2\xe0\xf0\xe8\xe9\xed\xee\xe5 \xef\xf0\xe5\xea\xf0\xe0\xf9\xe5\xed\xe8\xe5 "
            "\xf0\xe0\xe1\xee\xf2\xfb \xf1\xe2\xff\xe7\xe8"},
    {10054, "WSAECONNRESET"},
    {10055, "WSAENOBUFS"},
    {10056, "WSAEISCONN"},
    {10057, "WSAENOTCONN"},
    {10058, "WSAESHUTDOWN"},
    {10059, "WSAETOOMANYREFS"},
    {10060, "WSAETIMEDOUT"},
    {10061, "\xcd\xc5\xd2 \xd1\xc2\xdf\xc7\xc8"},  // НЕТ СВЯЗИ
    {10062, "WSAELOOP"},
    {10063, "WSAENAMETOOLONG"},
    {10064, "WSAEHOSTDOWN"},
    {10065, "WSAEHOSTUNREACH"},
    {10066, "WSAENOTEMPTY"},
    {10067, "WSAEPROCLIM"},
    {10068, "WSAEUSERS"},
    {10069, "WSAEDQUOT"},
    {10070, "WSAESTALE"},
    {10071, "WSAEREMOTE"},
    {10091, "WSASYSNOTREADY"},
    {10092, "WSAVERNOTSUPPORTED"},
    {10093, "WSANOTINITIALISED"},
    {11001, "WSAHOST_NOT_FOUND"},
    {11002, "WSATRY_AGAIN"},
    {11003, "WSANO_RECOVERY"},
    {11004, "WSANO_DATA"},
};

}  // namespace

std::string ErrorName(std::int32_t code) {
  const auto found = std::lower_bound(std::begin(kErrorTexts), std::end(kErrorTexts), code,
                                      [](const ErrorText& entry, std::int32_t c) { return entry.code < c; });
  return found != std::end(kErrorTexts) && found->code == code ? found->text : "WSAEUNKNOWN";
}

}  // namespace tcp
