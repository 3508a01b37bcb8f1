# Cross-compiles kviz as a 32-bit Windows console program with MinGW-w64 (Debian package
# g++-mingw-w64-i686-win32); see cmake/MinGW.cmake. Built programs run under wine.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KVIZ_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
