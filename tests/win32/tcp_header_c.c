/* Compiled as C: include/tcp.h is valid C, and every prototype in it links
 * against tcp.dll's import library. */
#include "tcp.h"

#include "tcp_header_c.h"

#define TCP_LINKED(ordinal, name) {ordinal, #name, (void (*)(void))name},
const struct linked_export linked_exports[] = {TCP_EXPORTS(TCP_LINKED)};
const int linked_export_count = sizeof linked_exports / sizeof linked_exports[0];

const char *round_trip_in_c(const char *text, int32_t value, int32_t *value_back) {
  SetFile(text);
  SetData(value);
  utfenk();
  *value_back = GetData();
  return GetFile();
}
