# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread and std::mutex work):
#   cmake -S . -B build-win --toolchain cmake/mingw-w64-x86_64.cmake
# Tests of such a build run under Wine (see cmake/QuarvWindows.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARV_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARV_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARV_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARV_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${QUARV_MINGW_TRIPLE}-objdump)

# Headers and libraries of the target come from the mingw tree only; programs
# (the compilers' helpers, wine) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUARV_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
