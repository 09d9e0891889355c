# Cross-compiles the 64-bit twin of the Windows program and its tests. Quillet itself is a 32-bit
# program; this build runs the same sources under the 64-bit Wine loader on machines that cannot
# run 32-bit programs at all. It serves only the tests, so it keeps the posix-thread compilers:
# GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUILLET_MINGW_THREADS posix CACHE STRING "Thread model of the mingw compilers: win32 or posix")
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-${QUILLET_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${QUILLET_MINGW_THREADS})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
