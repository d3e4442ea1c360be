set(CMAKE_SYSTEM_PROCESSOR i686)
set(TCP_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# This machine cannot execute 32-bit code: the 32-bit test programs run in the emulated machine.
