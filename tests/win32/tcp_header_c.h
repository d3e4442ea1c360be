#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct linked_export {
  int ordinal;
  const char *name;
  void (*address)(void);
};
extern const struct linked_export linked_exports[];
extern const int linked_export_count;

/* SetFile, SetData, utfenk, GetData and GetFile called from C through the header. */
const char *round_trip_in_c(const char *text, int32_t value, int32_t *value_back);

#ifdef __cplusplus
}
#endif
