#include "win32/win32_platform.h"

namespace tcp::win32 {

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&thisModule), &module);
  return module;
}

}  // namespace tcp::win32
