# Cross-compiles the Windows program for 32-bit Windows (i686): the product, Quillet.exe and the
# simulated WNASPI32.DLL. The win32-thread compilers keep the posix-threads runtime (and the
# kernel functions it needs, which Windows 98 and NT 4.0 lack) out of the product.
# QUILLET_MINGW_THREADS=posix builds the Windows test program instead: GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUILLET_MINGW_THREADS win32 CACHE STRING "Thread model of the mingw compilers: win32 or posix")
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${QUILLET_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${QUILLET_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
