# Shared by both MinGW-w64 toolchains: posix-thread compilers (GoogleTest needs std::mutex),
# everything linked statically so tcp.dll imports only Windows system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TCP_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TCP_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TCP_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TCP_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(TCP_OBJDUMP ${TCP_MINGW_TRIPLE}-objdump)
set(TCP_NM ${TCP_MINGW_TRIPLE}-nm)
